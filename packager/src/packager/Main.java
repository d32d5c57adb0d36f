package packager;

import java.util.Optional;

/**
 * Makes the application folder a product ships: the launcher under the product's name, config.json, the
 * program's jars and a Java runtime made to measure with jlink, with its class-data-sharing archive and, on
 * request, an ahead-of-time cache of the program's own classes; optionally an archive of the folder.
 *
 * <p>Run it with nothing but a JDK (17 or later): {@code java -jar packager.jar --help}.
 *
 * <p>Exit status: 0 made; 1 making failed (nothing is left behind); 2 refused before anything was made (a bad
 * option or input); 3 made, but without the ahead-of-time cache, whose training run failed.
 */
public final class Main {
    private Main() {
    }

    /**
     * The version packager.jar was built as: a release's own (1.2.0), or in a checkout the next release's with
     * the commit it was built from (1.2.0-dev+1a2b3c4d5e6f, "-modified" when its files differed from the commit).
     */
    static String version() {
        final String version = Main.class.getPackage().getImplementationVersion();
        return version != null ? version : "unknown (these classes are not packager.jar)";
    }

    public static void main(String[] arguments) {
        int status;
        try {
            final Optional<Options> options = Options.parse(arguments);
            if (options.isEmpty()) {
                System.out.println(Options.help());
                return;
            }
            if (options.get().versionAsked) {
                System.out.println(version());
                return;
            }
            ChildProcess.showTools(options.get().verbose);
            status = new AppFolder(Checks.check(options.get())).make();
        } catch (Stop stop) {
            System.err.println("error: " + stop.getMessage());
            status = stop.status;
        } catch (RuntimeException unexpected) {
            // Nothing was left behind: AppFolder removes what it made on any exception.
            System.err.println("error: the packager failed unexpectedly: " + Text.describe(unexpected));
            status = Stop.FAILED;
        }
        System.exit(status);
    }
}
