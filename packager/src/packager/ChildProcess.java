package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.TimeoutException;
import java.util.stream.Stream;

/** The one child process the packager waits for (a tool, a training run), ended if it is interrupted. */
final class ChildProcess {
    private static volatile Process running;

    private ChildProcess() {
    }

    /** What a tool said and how it ended. */
    record Result(int status, String output, String errors) {
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
            final Process process = new ProcessBuilder(command).directory(workingDirectory.toFile())
                    .redirectOutput(output.toFile()).redirectError(errors.toFile()).start();
            started(process);
            process.getOutputStream().close();
            final int status = process.waitFor();
            return new Result(status, new String(Files.readAllBytes(output), StandardCharsets.UTF_8),
                    new String(Files.readAllBytes(errors), StandardCharsets.UTF_8));
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
