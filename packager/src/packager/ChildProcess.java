package packager;

import java.util.concurrent.TimeUnit;

/** The one child process the packager waits for (a JDK tool, a training run), ended if it is interrupted. */
final class ChildProcess {
    private static volatile Process running;

    private ChildProcess() {
    }

    static void started(Process process) {
        running = process;
    }

    static void ended() {
        running = null;
    }

    /** Ends the child in progress, and waits for it, so that it writes nothing after the clean-up. */
    static void stop() {
        final Process process = running;
        if (process != null) {
            try {
                process.destroyForcibly().waitFor(10, TimeUnit.SECONDS);
            } catch (InterruptedException interrupted) {
                Thread.currentThread().interrupt();
            }
        }
    }
}
