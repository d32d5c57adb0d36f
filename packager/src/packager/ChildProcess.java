package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.TimeoutException;
import java.util.stream.Collectors;
import java.util.stream.Stream;

/** The one child process the packager waits for (a tool, a training run), ended if it is interrupted. */
final class ChildProcess {
    private static volatile Process running;
    private static volatile boolean showTools;

    private ChildProcess() {
    }

    /** What a tool said and how it ended. */
    record Result(int status, String output, String errors) {
    }

    /** --verbose: each tool is shown, with its arguments, before it runs, and what it printed after. */
    static void showTools(boolean show) {
        showTools = show;
    }

    /** Shows a tool about to run, as a command line a shell would take, when --verbose asks for it. */
    static void showStart(List<String> command, Path workingDirectory) {
        if (showTools) {
            System.out.println("running in " + Text.quote(workingDirectory) + ": "
                    + command.stream().map(ChildProcess::shellWord).collect(Collectors.joining(" ")));
        }
    }

    /** A line about the next tool that its command line does not show, when --verbose asks for it. */
    static void showNote(String note) {
        if (showTools) {
            System.out.println(note);
        }
    }

    /** Shows what a tool printed and how it ended, when --verbose asks for it. */
    static void showEnd(List<String> command, int status, String said) {
        if (showTools) {
            final String tool = Path.of(command.get(0)).getFileName().toString();
            said.lines().forEach(line -> System.out.println("  " + tool + ": " + line));
            System.out.println("  " + tool + " ended with status " + status);
        }
    }

    /** A word as a POSIX shell reads it back: as it is when it needs no quotes, else in single quotes. */
    static String shellWord(String word) {
        return !word.isEmpty() && word.chars().allMatch(c -> Character.isLetterOrDigit(c) || "-_=+:,./@%".indexOf(c) >= 0)
                ? word : "'" + word.replace("'", "'\\''") + "'";
    }

    /**
     * Runs a tool in `workingDirectory` to its end, with no input, its output kept in temporary files (so that
     * a tool that writes much never waits for the packager to read).
     */
    static Result run(List<String> command, Path workingDirectory) throws IOException, InterruptedException {
        Path output = null;
        Path errors = null;
        try {
            output = Files.createTempFile("packager-tool", ".out");
            errors = Files.createTempFile("packager-tool", ".err");
            showStart(command, workingDirectory);
            final Process process = new ProcessBuilder(command).directory(workingDirectory.toFile())
                    .redirectOutput(output.toFile()).redirectError(errors.toFile()).start();
            started(process);
            process.getOutputStream().close();
            final int status = process.waitFor();
            final Result result = new Result(status, new String(Files.readAllBytes(output), StandardCharsets.UTF_8),
                    new String(Files.readAllBytes(errors), StandardCharsets.UTF_8));
            showEnd(command, status, result.output() + result.errors());
            return result;
        } finally {
            ended();
            deleteQuietly(output);
            deleteQuietly(errors);
        }
    }

    static void started(Process process) {
        running = process;
        if (Interruption.isAsked()) {
            end(process);  // started as the interruption came
        }
    }

    static void ended() {
        running = null;
    }

    /** Ends the child in progress, and waits for it, so that it writes nothing after the clean-up. */
    static void stop() {
        final Process process = running;
        if (process != null) {
            end(process);
        }
    }

    /**
     * Ends a process and the processes it started (a training run's JVM starts one that writes the cache, jlink
     * one that writes the class-data-sharing archive), and waits for them.
     */
    static void end(Process process) {
        final List<ProcessHandle> all = Stream.concat(process.descendants(), Stream.of(process.toHandle())).toList();
        all.forEach(ProcessHandle::destroyForcibly);
        for (final ProcessHandle handle : all) {
            try {
                handle.onExit().get(10, TimeUnit.SECONDS);
            } catch (InterruptedException interrupted) {
                Thread.currentThread().interrupt();
                return;
            } catch (ExecutionException | TimeoutException notEnded) {
                // Ended as far as it can be: a process that ignores SIGKILL is in the kernel's hands.
            }
        }
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
