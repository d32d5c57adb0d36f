package packager;

import java.net.URISyntaxException;
import java.nio.file.Files;
import java.security.CodeSource;
import java.nio.file.Path;
import java.util.List;
import java.util.Optional;

/** Where the launcher to copy comes from when --launcher is not given. */
final class Launchers {
    private Launchers() {
    }

    /** The variants of the launcher: for a Windows target also the console and the service executables. */
    enum Variant {
        PLAIN(""), CONSOLE("-console"), SERVICE("-service");

        /** What the file name and the build preset add to the plain launcher's. */
        final String suffix;

        Variant(String suffix) {
            this.suffix = suffix;
        }

        /** A Windows target's variant for a launcher with --win-console or run as a service; else PLAIN. */
        static Variant of(Target target, boolean console, boolean service) {
            return target != Target.WINDOWS ? PLAIN : service ? SERVICE : console ? CONSOLE : PLAIN;
        }
    }

    /**
     * The launcher beside this packager: in a release, launchers/TARGET-x64/ next to packager.jar; in a
     * checkout, the launcher the build left next to build/PRESET/packager.jar (the console variant in
     * build/windows-console/, the service variant in build/windows-service/).
     */
    static Path defaultFor(Target target, Variant variant) throws Stop {
        final Path home = ownFolder().orElseThrow(() -> Stop.refused(
                "cannot tell where this packager lies, so there is no default launcher; give --launcher"));
        final String file = "launcher" + variant.suffix + target.executableSuffix;
        final String preset = target.name + variant.suffix;
        final List<Path> candidates = List.of(home.resolve("launchers").resolve(target.name + "-x64").resolve(file),
                home.resolveSibling(preset).resolve(file));
        for (final Path candidate : candidates) {
            if (Files.isRegularFile(candidate)) {
                return candidate;
            }
        }
        throw Stop.refused("there is no " + target.name + " launcher at " + Text.quote(candidates.get(0))
                + " (a release) nor at " + Text.quote(candidates.get(1)) + " (a checkout): build it (cmake --preset " + preset + " && cmake --build "
                + "--preset " + preset + ") or give --launcher");
    }

    /** The folder that holds packager.jar (or, run from classes, the folder of the classes). */
    private static Optional<Path> ownFolder() {
        try {
            final CodeSource source = Launchers.class.getProtectionDomain().getCodeSource();
            if (source == null || source.getLocation() == null) {
                return Optional.empty();
            }
            return Optional.ofNullable(Path.of(source.getLocation().toURI()).toAbsolutePath().getParent());
        } catch (URISyntaxException | SecurityException | IllegalArgumentException unknown) {
            return Optional.empty();
        }
    }
}
