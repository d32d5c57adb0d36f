package packager;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.locks.LockSupport;

/**
 * Ctrl-C or SIGTERM while the folder is made. The JVM runs its shutdown hook beside the work, which would go on
 * writing while the hook removes what it wrote; so the hook asks the work to stop, and the work stops at its
 * next checkpoint (a file copied, a step done), before the hook removes anything.
 */
final class Interruption {
    private static volatile boolean asked;
    private static volatile Thread work;
    private static final CountDownLatch workStopped = new CountDownLatch(1);

    private Interruption() {
    }

    /** The calling thread does the work that checkpoints stop. */
    static void workBegins() {
        work = Thread.currentThread();
    }

    /** The work is over (made, or failed and cleaned up): the hook has nothing to wait for. */
    static void workEnds() {
        workStopped.countDown();
    }

    static boolean isAsked() {
        return asked;
    }

    /** Where the work may stop: once an interruption is asked for, the work waits here until the JVM ends. */
    static void checkpoint() {
        if (asked && Thread.currentThread() == work) {
            workStopped.countDown();
            while (true) {
                LockSupport.park();
            }
        }
    }

    /**
     * From the shutdown hook: asks the work to stop, ends the tool or training run it waits for, and waits until
     * it has stopped. False if it has not within `seconds` (a file system that hangs, say).
     */
    static boolean stopWork(long seconds) {
        asked = true;
        ChildProcess.stop();
        try {
            return workStopped.await(seconds, TimeUnit.SECONDS);
        } catch (InterruptedException interrupted) {
            Thread.currentThread().interrupt();
            return false;
        }
    }
}
