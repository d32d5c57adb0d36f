package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.charset.StandardCharsets;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

class ChildProcessTest {
    /** --verbose shows each tool's command line as a shell takes it: sh reads every word back as it was. */
    @ParameterizedTest
    @ValueSource(strings = {"plain-1.0", "/opt/My App/jre", "it's", "", "$APPDIR/app.aot", "a\"b", "*", "~user",
            "back\\slash", "two\nlines", "caf\u00e9", "--add-modules=java.base,java.sql", "'", "a;b|c&d"})
    void showsEachWordAsAShellReadsItBack(String word) throws Exception {
        final Process shell = new ProcessBuilder("/bin/sh", "-c", "printf '%s' " + ChildProcess.shellWord(word))
                .redirectErrorStream(true).start();
        final String readBack = new String(shell.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, shell.waitFor());
        assertEquals(word, readBack);
    }

    @ParameterizedTest
    @ValueSource(strings = {"jlink", "--output", "/tmp/a/jre", "-Xlog:gc:file=gc.log", "java.base,jdk.zipfs"})
    void leavesAWordThatNeedsNoQuotesAsItIs(String word) {
        assertEquals(word, ChildProcess.shellWord(word));
    }
}
