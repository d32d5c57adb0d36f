package bench;

// A program with one running copy ("singleInstance": "bench.Resident.open"):
// started with --stay it runs until it is ended, and takes later starts'
// command lines; started without, it returns at once, as a first start
// that is timed.
public final class Resident {
    public static void main(String[] args) throws InterruptedException {
        if (args.length > 0 && args[0].equals("--stay")) Thread.sleep(Long.MAX_VALUE);
    }

    public static void open(String[] arguments, String directory) {
        System.out.println("opened " + String.join(" ", arguments) + " in " + directory);
    }
}
