package packager;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;

/**
 * An RPM package that installs the application folder, built by rpmbuild from a build root the packager lays
 * out: the folder in --install-dir, the menu entry and document types in /usr/share as in the Debian package,
 * the services' units in /usr/lib/systemd/system, Requires from rpm's own dependency generator.
 */
final class RpmPackage {
    private RpmPackage() {
    }

    /**
     * Moves the folder in `staging` to its place in the installed files, laid out in `work/root`, and builds
     * the package of them into `partial`.
     */
    static void write(Plan plan, Path staging, Path work, Path partial) throws IOException, Stop {
        final Path root = Files.createDirectory(work.resolve("root"));
        final Path installed = root.resolve(plan.installDir.substring(1));
        Files.createDirectories(installed.getParent());
        Files.move(staging, installed);
        Files.delete(installed.resolve(Plan.MARKER));  // a package replaces its files itself
        final List<String> filesOutside = new ArrayList<>(LinuxDesktopFiles.write(plan, root));
        final boolean services = !ServiceUnit.services(plan).isEmpty();
        filesOutside.addAll(ServiceUnit.writeUnits(plan, root, ServiceUnit.RPM_UNIT_FOLDER));
        DebPackage.normalizeModes(root);
        final List<Path> libraries = libraries(root);
        for (final Path library : libraries) {
            // As rpm's rules want a shared library (a JDK ships them 0644); rpm reads the needs of such a file.
            FileTrees.makeExecutable(library);
        }
        final Path build = Files.createDirectory(work.resolve("build"));  // where rpmbuild finds the licence
        String licenseFile = null;
        if (plan.options.licenseFile != null) {
            licenseFile = plan.options.licenseFile.getFileName().toString();
            Files.copy(plan.options.licenseFile, build.resolve(licenseFile));
        }
        final String spec = new RpmSpec(plan, libraries.stream().map(library -> library.getFileName().toString())
                .distinct().sorted().toList(), filesOutside, licenseFile,
                services ? ServiceUnit.rpmScriptlets(plan) : Map.of()).text();
        plan.resources.write(work.resolve(ResourceDir.rpmSpec(plan)), ResourceDir.rpmSpec(plan), spec);
        Files.createDirectory(work.resolve("tmp"));
        // rpmbuild's own scripts break at a space in a path, which the destination or the product's name may
        // hold: it reaches the work folder through a link of a name without one.
        final Path link = Files.createTempDirectory("packager-rpm-");
        try {
            final Path via = Files.createSymbolicLink(link.resolve("work"), work.toAbsolutePath());
            // Every folder rpmbuild writes in is the work folder's, whatever the user's ~/.rpmmacros says.
            run(plan.rpmbuild, work, "-bb", "--define", "_topdir " + via.resolve("rpmbuild"),
                    "--define", "_builddir " + via.resolve("build"), "--define", "_rpmdir " + via.resolve("rpms"),
                    "--define", "_tmppath " + via.resolve("tmp"), "--buildroot", via.resolve("root").toString(),
                    via.resolve(ResourceDir.rpmSpec(plan)).toString());
        } finally {
            FileTrees.deleteQuietly(link);
        }
        final Path made = work.resolve("rpms").resolve(plan.rpmArchitecture).resolve(plan.rpmFileName());
        if (!Files.isRegularFile(made)) {
            throw Stop.failed("rpmbuild made no " + plan.rpmFileName() + "; nothing was left behind");
        }
        Files.move(made, partial);
    }

    /** The shared libraries among the files, which the folder holds for itself. */
    private static List<Path> libraries(Path root) throws IOException {
        try (Stream<Path> files = Files.walk(root)) {
            return files.filter(file -> Files.isRegularFile(file, LinkOption.NOFOLLOW_LINKS)
                    && file.getFileName().toString().matches(".+\\.so(\\..+)?")).toList();
        }
    }

    /** Runs rpmbuild; a failure quotes its error lines. */
    private static void run(Path tool, Path workingDirectory, String... arguments) throws Stop {
        final List<String> command = new ArrayList<>(List.of(tool.toString()));
        command.addAll(List.of(arguments));
        final ChildProcess.Result result;
        try {
            result = ChildProcess.run(command, workingDirectory);
        } catch (IOException cannotRun) {
            throw Stop.failed("cannot run " + Text.quote(tool) + ": " + Text.describe(cannotRun));
        } catch (InterruptedException interrupted) {
            Thread.currentThread().interrupt();
            throw Stop.failed("rpmbuild was interrupted; nothing was left behind");
        }
        if (result.status() != 0) {
            final List<String> said = result.errors().lines().map(String::strip)
                    .filter(line -> !line.isEmpty() && !line.startsWith("+ ")).toList();
            throw Stop.failed("rpmbuild failed (status " + result.status() + "): "
                    + (said.isEmpty() ? "it said nothing" : String.join(" / ", said)) + "; nothing was left behind");
        }
    }
}
