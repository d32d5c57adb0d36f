package packager;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * The JDK's own tools (jdeps, jlink), run as processes of the JDK that runs the packager, so that everything
 * they and their own children print (jlink's class-data-sharing step warns of classes a small runtime lacks)
 * is kept, and shown only when the tool fails.
 */
final class JdkTools {
    private JdkTools() {
    }

    /** Runs a tool; its standard output, or a Stop that quotes the tool's first error line. */
    static String run(String toolName, List<String> arguments) throws Stop {
        final boolean windows = System.getProperty("os.name").toLowerCase(Locale.ROOT).startsWith("windows");
        final Path tool = Path.of(System.getProperty("java.home"), "bin", toolName + (windows ? ".exe" : ""));
        if (!Files.isExecutable(tool)) {
            throw Stop.failed("this Java runtime has no " + toolName + " (" + Text.quote(tool) + "); run the packager with a "
                    + "full JDK");
        }
        final List<String> command = new ArrayList<>(List.of(tool.toString()));
        command.addAll(arguments);
        try {
            final ChildProcess.Result result = ChildProcess.run(command, Path.of("").toAbsolutePath());
            if (result.status() != 0) {
                throw Stop.failed(toolName + " failed (status " + result.status() + "): "
                        + firstErrorLine(result.errors() + "\n" + result.output()) + "; nothing was left behind");
            }
            return result.output();
        } catch (IOException cannotRun) {
            throw Stop.failed("cannot run " + Text.quote(tool) + ": " + Text.describe(cannotRun));
        } catch (InterruptedException interrupted) {
            Thread.currentThread().interrupt();
            throw Stop.failed(toolName + " was interrupted; nothing was left behind");
        }
    }

    /** The line that says what went wrong: the first that names an error, else the first that says anything. */
    static String firstErrorLine(String said) {
        final List<String> lines = said.lines().map(String::strip).filter(l -> !l.isEmpty()).toList();
        return lines.stream().filter(l -> l.toLowerCase(Locale.ROOT).contains("error")).findFirst()
                .orElse(lines.isEmpty() ? "it said nothing" : lines.get(0));
    }
}
