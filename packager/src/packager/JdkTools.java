package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
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
        Path output = null;
        Path errors = null;
        try {
            output = Files.createTempFile("packager-" + toolName, ".out");
            errors = Files.createTempFile("packager-" + toolName, ".err");
            final Process process = new ProcessBuilder(command).redirectOutput(output.toFile())
                    .redirectError(errors.toFile()).start();
            ChildProcess.started(process);
            process.getOutputStream().close();
            final int status = process.waitFor();
            final String text = new String(Files.readAllBytes(output), StandardCharsets.UTF_8);
            if (status != 0) {
                final String said = firstErrorLine(new String(Files.readAllBytes(errors), StandardCharsets.UTF_8)
                        + "\n" + text);
                throw Stop.failed(toolName + " failed (status " + status + "): " + said + "; nothing was left behind");
            }
            return text;
        } catch (IOException cannotRun) {
            throw Stop.failed("cannot run " + Text.quote(tool) + ": " + Text.describe(cannotRun));
        } catch (InterruptedException interrupted) {
            Thread.currentThread().interrupt();
            throw Stop.failed(toolName + " was interrupted; nothing was left behind");
        } finally {
            ChildProcess.ended();
            deleteQuietly(output);
            deleteQuietly(errors);
        }
    }

    /** The line that says what went wrong: the first that names an error, else the first that says anything. */
    static String firstErrorLine(String said) {
        final List<String> lines = said.lines().map(String::strip).filter(l -> !l.isEmpty()).toList();
        return lines.stream().filter(l -> l.toLowerCase(Locale.ROOT).contains("error")).findFirst()
                .orElse(lines.isEmpty() ? "it said nothing" : lines.get(0));
    }

    private static void deleteQuietly(Path file) {
        if (file != null) {
            try {
                Files.deleteIfExists(file);
            } catch (IOException ignored) {
                // A temporary file of ours, in the system's temporary folder.
            }
        }
    }
}
