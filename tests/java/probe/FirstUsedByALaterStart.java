package probe;

// A class of the program that main never uses: its initialiser runs when the first later start's method is
// called, not before main.
public final class FirstUsedByALaterStart {
    static {
        System.out.println("probe: FirstUsedByALaterStart initialised");
    }

    // Named with a letter beyond the Basic Multilingual Plane, U+10400.
    public static void open\uD801\uDC00(String[] arguments, String directory) {
        Probe.openFromAnotherStart(arguments, directory);
    }
}
