package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;

/**
 * The application folder, built in a hidden staging folder beside where it goes and renamed into place only
 * when complete, so that a failure leaves nothing behind.
 */
final class AppFolder {
    private final Plan plan;

    AppFolder(Plan plan) {
        this.plan = plan;
    }

    // What an interruption (Ctrl-C, SIGTERM) must clean up or put back; see whenInterrupted.
    private volatile Path staging;
    private volatile Path partialArchive;
    private volatile Path previous;
    private volatile Path installerWork;

    /** How long an interruption waits for the work to stop before it removes what the work made. */
    private static final long SECONDS_TO_STOP = 60;

    /** Makes the folder (and archive); returns the exit status. */
    int make() throws Stop {
        final Path appFolder = plan.appFolder;
        final Thread cleanUp = new Thread(this::whenInterrupted, "packager clean-up");
        Interruption.workBegins();
        Runtime.getRuntime().addShutdownHook(cleanUp);
        try {
            try {
                Files.createDirectories(appFolder.getParent());
                if (plan.options.temp != null) {
                    Files.createDirectories(plan.options.temp);
                    staging = Files.createDirectory(plan.options.temp.resolve(plan.name));
                } else {
                    // Beside the final folder, so that it becomes it in one rename.
                    staging = Files.createTempDirectory(appFolder.getParent(), "." + plan.name + ".packaging-");
                }
                FileTrees.readableByAll(staging, true);
            } catch (IOException | SecurityException cannotWrite) {
                throw Stop.refused("cannot write in " + Text.quote(plan.options.dest.toAbsolutePath()) + ": "
                        + Text.describe(cannotWrite));
            }
            final String trainingFailure = build();
            System.out.println("made " + (plan.isMsi()
                    ? plan.installerPath() + " (upgrade code " + MsiPackage.guid(plan.upgradeCode) + ")"
                    : plan.isLinuxPackage() ? plan.installerPath()
                    : appFolder + (plan.options.archive ? " and " + plan.archivePath : "")));
            if (trainingFailure != null) {
                System.err.println("error: " + trainingFailure + "; the folder was made without the ahead-of-time "
                        + "cache, and starts as it would without --aot-cache");
                return Stop.MADE_WITHOUT_CACHE;
            }
            return 0;
        } finally {
            Interruption.workEnds();
            try {
                Runtime.getRuntime().removeShutdownHook(cleanUp);
            } catch (IllegalStateException shuttingDown) {
                // Interrupted: the hook is running, and cleans up.
            }
        }
    }

    /** Builds in the staging folder, makes the archive from it, then puts both in place. */
    private String build() throws Stop {
        String trainingFailure = null;
        try {
            if (plan.appImage != null) {
                copyFinishedFolder(staging);
            } else {
                assemble(staging);
                Interruption.checkpoint();
                if (plan.options.aotCache) {
                    trainingFailure = AotTraining.train(plan, staging);
                    Interruption.checkpoint();
                }
                writeConfig(staging, trainingFailure == null && plan.options.aotCache);
            }
            if (plan.isInstaller()) {
                // The installer takes the folder over: it moves into a hidden work folder, removed at the end.
                installerWork = plan.options.temp != null ? Files.createDirectory(plan.options.temp.resolve("package"))
                        : Files.createTempDirectory(plan.appFolder.getParent(), "." + plan.name + ".package-");
                // Named before it is written, so that an interruption removes what was written of it.
                partialArchive = partial(plan.installerPath());
                if (plan.isDeb()) {
                    DebPackage.write(plan, staging, installerWork, partialArchive);
                } else if (plan.isRpm()) {
                    RpmPackage.write(plan, staging, installerWork, partialArchive);
                } else {
                    MsiPackage.write(plan, staging, installerWork, partialArchive);
                }
                staging = null;
                Files.move(partialArchive, plan.installerPath(), StandardCopyOption.REPLACE_EXISTING);
                partialArchive = null;
                if (!isKept(installerWork)) {
                    FileTrees.delete(installerWork).ifPresent(left -> System.err.println("warning: could not remove "
                            + "the package's work folder " + left + ": remove it by hand"));
                }
                installerWork = null;
                return trainingFailure;
            }
            if (isKept(staging)) {
                // The work stays in --temp; what is put in place is a copy of it, made beside where it goes.
                final Path work = staging;
                staging = Files.createTempDirectory(plan.appFolder.getParent(), "." + plan.name + ".packaging-");
                FileTrees.readableByAll(staging, true);
                FileTrees.copyAsItIs(work, staging);
            }
            if (plan.options.archive) {
                // Before anything is replaced, so that a failure here changes nothing.
                partialArchive = partial(plan.archivePath);
                Archives.write(plan, staging, partialArchive);
            }
            Interruption.checkpoint();
            putInPlace(staging);
            staging = null;
            if (partialArchive != null) {
                Files.move(partialArchive, plan.archivePath, StandardCopyOption.REPLACE_EXISTING);
                partialArchive = null;
            }
            removeEarlierArchives();
            return trainingFailure;
        } catch (IOException | RuntimeException failure) {
            // A failure the interruption caused (a file it removed, a tool it ended) is not the reason to give.
            Interruption.checkpoint();
            throw Stop.failed("making " + Text.quote(plan.appFolder) + " failed: " + Text.describe(failure) + "; "
                    + afterCleanUp());
        } catch (Stop stop) {
            Interruption.checkpoint();
            final String leftBehind = afterCleanUp();
            throw leftBehind.equals(NOTHING_LEFT) ? stop
                    : new Stop(stop.status, stop.getMessage().replace("; " + NOTHING_LEFT, "") + "; " + leftBehind);
        }
    }

    private static final String NOTHING_LEFT = "nothing was left behind";

    /** Removes what this run made; says so, or names what is left. */
    private String afterCleanUp() {
        final List<String> left = cleanUp();
        final String work = plan.options.temp == null ? "" : "; the work is left in " + Text.quote(plan.options.temp);
        return (left.isEmpty() ? NOTHING_LEFT : "could not remove " + String.join(", ", left) + ": remove it by hand")
                + work;
    }

    /** The hidden file beside `result` that becomes it once whole. */
    private static Path partial(Path result) {
        return result.resolveSibling("." + result.getFileName() + ".part");
    }

    /** Removes what this run made so far; returns what could not be removed, each named with why. */
    private List<String> cleanUp() {
        final List<String> left = new ArrayList<>();
        for (final Path made : java.util.Arrays.asList(staging, partialArchive, installerWork)) {
            if (made != null && !isKept(made)) {
                FileTrees.delete(made).ifPresent(left::add);
            }
        }
        return left;
    }

    /** Whether `made` lies in --temp, where the work is left for inspection, whatever the outcome. */
    private boolean isKept(Path made) {
        return plan.options.temp != null && made.startsWith(plan.options.temp);
    }

    /**
     * The shutdown hook: once the work has stopped, the folder this run replaces is put back, and what it made so
     * far removed.
     */
    private void whenInterrupted() {
        if (!Interruption.stopWork(SECONDS_TO_STOP)) {
            System.err.println("warning: interrupted, and the packager's work did not stop within " + SECONDS_TO_STOP
                    + " seconds; what it made is removed while it may still write");
        }
        final Path replaced = previous;
        if (replaced != null && !Files.exists(plan.appFolder, LinkOption.NOFOLLOW_LINKS)) {
            try {
                Files.move(replaced, plan.appFolder);
            } catch (IOException cannotPutBack) {
                System.err.println("error: interrupted while replacing " + Text.quote(plan.appFolder) + "; the folder it replaced "
                        + "is in " + replaced);
            }
        }
        for (final String left : cleanUp()) {
            System.err.println("warning: interrupted; could not remove " + left + ": remove it by hand");
        }
    }

    /** Everything but config.json: the input, the launcher, the runtime, the icon and the marker. */
    private void assemble(Path staging) throws IOException, Stop {
        if (plan.input != null) {
            FileTrees.copyTree(plan.input, staging);
        }
        for (final AppContent content : plan.appContent) {
            content.copyInto(staging);
        }
        if (!plan.classPath.externalJars.isEmpty()) {
            final Path external = Files.createDirectory(staging.resolve(ClassPath.EXTERNAL_FOLDER));
            for (final var jar : plan.classPath.externalJars.entrySet()) {
                final String name = jar.getValue().name();
                System.out.println("copying " + Text.quote(jar.getKey()) + " into " + ClassPath.EXTERNAL_FOLDER + "/"
                        + name + ": the manifest of " + jar.getValue().namedBy() + " names it outside --input");
                Files.copy(jar.getKey(), external.resolve(name));
            }
        }
        plan.classPath.rewriteManifests(staging);
        final Path executable = staging.resolve(plan.executableName());
        if (plan.brandedLauncher != null) {
            Files.write(executable, plan.brandedLauncher);
        } else {
            Files.copy(plan.launcher, executable, StandardCopyOption.REPLACE_EXISTING);
        }
        FileTrees.makeExecutable(executable);
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            // A copy under its own name, which finds its settings in config.json by that name.
            final Path copy = staging.resolve(launcher.executableName(plan.target));
            if (launcher.brandedLauncher != null) {
                Files.write(copy, launcher.brandedLauncher);
            } else {
                Files.copy(launcher.launcherFile, copy, StandardCopyOption.REPLACE_EXISTING);
            }
            FileTrees.makeExecutable(copy);
            final Path icon = ExtraLaunchers.iconOf(plan, launcher);
            if (icon != null && plan.target == Target.LINUX) {
                Files.copy(icon, staging.resolve(launcher.name + ".png"));
                final String entry = ResourceDir.desktopEntry(launcher.name);
                plan.resources.write(staging.resolve(entry), entry, DesktopEntry.of(plan, launcher, plan.runFolder()));
            }
        }
        if (plan.splashEntry != null) {
            try (java.util.jar.JarFile jar = new java.util.jar.JarFile(plan.mainJarPath.toFile());
                    java.io.InputStream image = jar.getInputStream(jar.getEntry(plan.splashEntry))) {
                Files.copy(image, staging.resolve(plan.splashImageName()));
            }
        }
        JavaRuntime.make(plan, staging);
        if (plan.options.icon != null && plan.target == Target.LINUX) {
            Files.copy(plan.options.icon, staging.resolve(plan.name + ".png"));
            final String entry = ResourceDir.desktopEntry(plan.name);
            plan.resources.write(staging.resolve(entry), entry, DesktopEntry.of(plan, plan.runFolder()));
        }
        copyDocumentIcons(staging);
        Files.writeString(staging.resolve(Plan.MARKER), AppImage.marker(plan.name, plan.extraLaunchers),
                StandardCharsets.UTF_8);
    }

    private void copyDocumentIcons(Path staging) throws IOException {
        for (final FileAssociation association : plan.fileAssociations) {
            if (association.icon() != null && plan.target == Target.WINDOWS) {
                // Beside the executable, where the document type's registry entry names it.
                Files.copy(association.icon(), staging.resolve(association.iconFileName(plan.name)),
                        StandardCopyOption.REPLACE_EXISTING);
            }
        }
    }

    /**
     * A copy of the finished folder (--app-image), its files as they are; what the installer adds beside them
     * (document icons, the menu entries of where it installs) is written into the copy.
     */
    private void copyFinishedFolder(Path staging) throws IOException {
        FileTrees.copyTree(plan.appImage, staging);
        copyDocumentIcons(staging);
        if (plan.target != Target.LINUX) {
            return;
        }
        final Path entry = staging.resolve(ResourceDir.desktopEntry(plan.name));
        if (Files.isRegularFile(entry)) {
            plan.resources.write(entry, ResourceDir.desktopEntry(plan.name), DesktopEntry.of(plan, plan.runFolder()));
        }
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            final Path own = staging.resolve(ResourceDir.desktopEntry(launcher.name));
            if (Files.isRegularFile(own)) {
                plan.resources.write(own, ResourceDir.desktopEntry(launcher.name),
                        DesktopEntry.of(plan, launcher, plan.runFolder()));
            }
        }
    }

    private void writeConfig(Path staging, boolean withCache) throws IOException {
        final List<String> options = plan.javaOptions();
        if (withCache) {
            // $APPDIR: the cache is found wherever the folder is moved.
            options.add(ConfigFile.AOT_CACHE_OPTION + Plan.AOT_CACHE);
        } else {
            Files.deleteIfExists(staging.resolve(Plan.AOT_CACHE));
        }
        ConfigFile.write(plan, staging, options);
    }

    /** The archives of the replaced folder go once the new folder is in place: an old product's archive misleads. */
    private void removeEarlierArchives() {
        for (final Path earlier : plan.earlierArchives) {
            try {
                Files.deleteIfExists(earlier);
            } catch (IOException cannotDelete) {
                System.err.println("warning: could not remove " + Text.quote(earlier) + ", the archive of the folder "
                        + "this one replaced: " + Text.describe(cannotDelete) + "; remove it by hand");
            }
        }
    }

    /** Makes the staging folder the application folder, replacing the one this packager made before. */
    private void putInPlace(Path staging) throws IOException {
        final Path appFolder = plan.appFolder;
        if (Files.exists(appFolder, LinkOption.NOFOLLOW_LINKS)) {
            final Path hidden = Files.createTempDirectory(appFolder.getParent(), "." + plan.name + ".replaced-");
            Files.delete(hidden);
            Files.move(appFolder, hidden);
            previous = hidden;
        }
        try {
            Files.move(staging, appFolder);
        } catch (IOException cannotMove) {
            if (previous != null) {
                Files.move(previous, appFolder);
                previous = null;
            }
            throw cannotMove;
        }
        final Path replaced = previous;
        previous = null;
        if (replaced != null) {
            FileTrees.delete(replaced).ifPresent(left -> System.err.println("warning: could not remove the folder "
                    + "this one replaced, now " + left + ": remove it by hand"));
        }
    }
}
