package probe;

// A class of the program that main never uses: its initialiser runs when the first later start's method is
// called, not before main.
public final class FirstUsedByALaterStart {
    static {
        System.out.println("probe: FirstUsedByALaterStart initialised");
    }

    public static void open(String[] arguments, String directory) {
        Probe.openFromAnotherStart(arguments, directory);
    }
}
