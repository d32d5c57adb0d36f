package packager;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.List;
import java.util.spi.ToolProvider;

/** The JDK's own tools (jdeps, jlink), run in this process. */
final class JdkTools {
    private JdkTools() {
    }

    /** Runs a tool; its output, or a Stop that quotes what it said. */
    static String run(String toolName, List<String> arguments) throws Stop {
        final ToolProvider tool = ToolProvider.findFirst(toolName).orElseThrow(
                () -> Stop.failed("this JDK has no " + toolName + "; run the packager with a full JDK"));
        final ByteArrayOutputStream output = new ByteArrayOutputStream();
        final ByteArrayOutputStream errors = new ByteArrayOutputStream();
        int status;
        try (PrintStream out = new PrintStream(output, true, StandardCharsets.UTF_8);
                PrintStream err = new PrintStream(errors, true, StandardCharsets.UTF_8)) {
            status = tool.run(out, err, arguments.toArray(String[]::new));
        } catch (RuntimeException crashed) {
            // Some tools throw on input they cannot read (jdeps on a damaged jar).
            errors.writeBytes(Text.describe(crashed).getBytes(StandardCharsets.UTF_8));
            status = -1;
        }
        final String text = output.toString(StandardCharsets.UTF_8);
        if (status != 0) {
            final String said = (errors.toString(StandardCharsets.UTF_8) + " " + text).trim().replaceAll("\\s+", " ");
            throw Stop.failed(toolName + " failed (status " + status + "): " + said + "; nothing was left behind");
        }
        return text;
    }
}
