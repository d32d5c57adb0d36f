package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.lang.module.ModuleDescriptor;
import java.nio.file.FileVisitOption;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import java.util.zip.GZIPInputStream;
import java.util.zip.ZipFile;

/** Every check that can refuse the work, made before anything is made. */
final class Checks {
    private static final byte[] PNG_SIGNATURE = {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

    private final Options options;
    private final Plan plan;

    private Checks(Options options) {
        this.options = options;
        this.plan = new Plan(options);
    }

    static Plan check(Options options) throws Stop {
        final Checks checks = new Checks(options);
        checks.run();
        return checks.plan;
    }

    private void run() throws Stop {
        if (options.input == null || options.mainJar == null) {
            throw Stop.refused((options.input == null ? "--input" : "--main-jar") + " is missing: give the folder of "
                    + "the program's jars with --input and the jar holding the main class with --main-jar");
        }
        if (!Files.isDirectory(options.input)) {
            throw Stop.refused("--input " + options.input + " is not a folder");
        }
        // Real paths: a folder given through a link is the folder it names, and "." is the current one.
        final Path input = realPath(options.input);
        plan.input = input;
        if (realPathOfWhatMayNotExist(options.dest.toAbsolutePath()).startsWith(input)) {
            throw Stop.refused("--dest " + options.dest + " lies inside --input " + options.input + ", which is "
                    + "copied whole; choose another --dest");
        }
        plan.mainJarPath = input.resolve(options.mainJar).normalize();
        if (!plan.mainJarPath.startsWith(input)) {
            throw Stop.refused("--main-jar " + options.mainJar + " lies outside --input " + options.input
                    + "; name a jar in that folder");
        }
        if (!Files.isRegularFile(plan.mainJarPath)) {
            throw Stop.refused("--main-jar " + options.mainJar + " does not exist in " + options.input);
        }
        checkMainClass();
        plan.name = options.name != null ? options.name
                : plan.mainJarPath.getFileName().toString().replaceFirst("(?i)\\.jar$", "");
        checkName(plan.name);
        plan.target = options.target != null ? options.target : Target.own().orElseThrow(
                () -> Stop.refused("this machine is neither Linux nor Windows: give --target"));
        final List<String> reserved = new ArrayList<>(List.of("jre", "config.json", Plan.MARKER, plan.executableName()));
        if (options.icon != null) {
            reserved.addAll(List.of(plan.name + ".png", plan.name + ".desktop"));
        }
        for (final String name : reserved) {
            if (Files.exists(input.resolve(name), LinkOption.NOFOLLOW_LINKS)) {
                throw Stop.refused("--input " + options.input + " holds a " + name + ", which the packager makes; "
                        + "take it out" + (name.startsWith(plan.name) ? " or choose another --name" : ""));
            }
        }
        final String notCopyable = whyNotCopyable(input, "--input");
        if (notCopyable != null) {
            throw Stop.refused("--input " + options.input + " cannot be copied whole: " + notCopyable);
        }
        if (options.archive) {
            checkNamesForTheArchive(input);
        }
        checkLauncher();
        checkRuntime();
        checkBranding();
        if (options.aotCache && !plan.target.isOwn()) {
            throw Stop.refused("--aot-cache trains the program on this machine, so the target must be this machine's "
                    + "platform, not " + plan.target.name);
        }
        if (options.aotCache && plan.runtimeFeature < 25) {
            final String version = plan.runtimeFeature == 0 ? "of a version its release file does not name"
                    : "Java " + plan.runtimeFeature;
            throw Stop.refused("--aot-cache needs a Java 25 or later runtime, and this one is " + version
                    + ": an older runtime records the folder's absolute path in its archive of the "
                    + "program's classes and ignores the archive once the folder moves; run the packager with a "
                    + "JDK 25 or give --runtime-image a Java 25 runtime");
        }
        plan.appFolder = options.dest.toAbsolutePath().normalize().resolve(plan.name);
        plan.archivePath = plan.appFolder.resolveSibling(plan.name + plan.target.archiveSuffix);
        checkReplaceable();
    }

    /** The icon and the texts of the executable's properties; a Windows launcher is branded here, in memory. */
    private void checkBranding() throws Stop {
        for (final String[] text : new String[][] {{"--vendor", options.vendor}, {"--description", options.description},
                {"--copyright", options.copyright}, {"--app-version", options.appVersion}}) {
            if (text[1] != null && text[1].codePoints().anyMatch(Text::breaksALine)) {
                throw Stop.refused(text[0] + " holds a line break or another control character; it is one line of "
                        + "text in the executable's properties");
            }
        }
        if (plan.target == Target.LINUX) {
            if (options.icon != null && !FileTrees.startsWith(options.icon, PNG_SIGNATURE)) {
                throw Stop.refused("--icon " + options.icon + " is not a PNG image, which a Linux .desktop entry needs");
            }
            return;
        }
        if (options.appVersion != null) {
            final String why = Branding.whyNotAVersion(options.appVersion);
            if (why != null) {
                throw Stop.refused("--app-version " + options.appVersion + " " + why);
            }
        }
        if (Branding.isAsked(options)) {
            plan.brandedLauncher = Branding.brand(plan);
        }
    }

    private static void checkName(String name) throws Stop {
        // Character by character: a pattern's "." would not match a line break.
        final boolean refused = name.isEmpty() || name.equals(".") || name.equals("..")
                || name.codePoints().anyMatch(c -> "/\\:*?\"<>|".indexOf(c) >= 0 || Text.breaksALine(c));
        if (refused) {
            throw Stop.refused("--name " + name.replaceAll("\\p{Cntrl}|\u2028|\u2029", "?") + " is not a file name "
                    + "every platform accepts: leave out / \\ : * ? \" < > | and line breaks or other control "
                    + "characters");
        }
    }

    private static Path realPath(Path path) throws Stop {
        try {
            return path.toRealPath();
        } catch (IOException unreadable) {
            throw Stop.refused("cannot read " + path + ": " + Text.describe(unreadable));
        }
    }

    /** The real path of the nearest folder above `path` that exists, with the rest of `path` after it. */
    private static Path realPathOfWhatMayNotExist(Path path) throws Stop {
        Path existing = path.normalize();
        while (existing.getParent() != null && !Files.exists(existing)) {
            existing = existing.getParent();
        }
        return realPath(existing).resolve(existing.relativize(path.normalize()));
    }

    /** An archive holds names as text: each must be text in this system's encoding, or it would change. */
    private void checkNamesForTheArchive(Path input) throws Stop {
        try (Stream<Path> files = Files.walk(input, FileVisitOption.FOLLOW_LINKS)) {
            for (final Path file : (Iterable<Path>) files::iterator) {
                final Path name = file.getFileName();
                if (name != null && !name.equals(name.getFileSystem().getPath(name.toString()))) {
                    throw Stop.refused("--archive cannot hold the name of " + file + ", which is not text in this "
                            + "system's encoding (" + System.getProperty("sun.jnu.encoding") + "); run the packager in "
                            + "a UTF-8 locale (LC_ALL=C.UTF-8, say) or rename the file");
                }
            }
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.refused("--input " + options.input + " cannot be read: " + Text.describe(unreadable));
        }
    }

    private static String whyNotCopyable(Path folder, String option) throws Stop {
        try {
            return FileTrees.whyNotCopyable(folder);
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.refused(option + " " + folder + " cannot be read: " + Text.describe(unreadable));
        }
    }

    private void checkMainClass() throws Stop {
        String mainClass = options.mainClass;
        try (JarFile jar = new JarFile(plan.mainJarPath.toFile())) {
            if (mainClass == null) {
                final Attributes attributes = jar.getManifest() == null ? null : jar.getManifest().getMainAttributes();
                mainClass = attributes == null ? null : attributes.getValue(Attributes.Name.MAIN_CLASS);
                if (mainClass == null || mainClass.isBlank()) {
                    throw Stop.refused("no main class: " + options.mainJar + " has no Main-Class in its manifest; "
                            + "give --main-class");
                }
                mainClass = mainClass.trim();
            }
            plan.mainClassInternalName = mainClass.replace('.', '/');
            final String entry = plan.mainClassInternalName + ".class";
            final boolean present = jar.stream().anyMatch(e -> e.getName().equals(entry)
                    || e.getName().matches("META-INF/versions/\\d+/" + Pattern.quote(entry)));
            if (!present) {
                throw Stop.refused("the main class " + mainClass + " is not in " + options.mainJar + " (it holds no "
                        + entry + ")");
            }
        } catch (IOException notAJar) {
            throw Stop.refused("--main-jar " + plan.mainJarPath + " is not a jar: " + Text.describe(notAJar));
        }
    }

    private void checkLauncher() throws Stop {
        final Target target = plan.target;
        if (options.winConsole && target != Target.WINDOWS) {
            throw Stop.refused("--win-console chooses the Windows launcher's console variant; a " + target.name
                    + " launcher always has a console when started from one");
        }
        if (options.winConsole && options.launcher != null) {
            throw Stop.refused("give --launcher or --win-console, not both: --win-console chooses the console "
                    + "variant beside packager.jar, --launcher names a launcher of your own");
        }
        plan.launcher = options.launcher != null ? options.launcher : Launchers.defaultFor(target, options.winConsole);
        if (!Files.exists(plan.launcher)) {
            throw Stop.refused("--launcher " + plan.launcher + " does not exist" + (plan.launcher.isAbsolute() ? ""
                    : " (in " + Path.of("").toAbsolutePath() + ", the current directory)"));
        }
        final boolean windowsExecutable = FileTrees.startsWith(plan.launcher, new byte[] {'M', 'Z'});
        final boolean linuxExecutable = FileTrees.startsWith(plan.launcher, new byte[] {0x7f, 'E', 'L', 'F'});
        if (!Files.isRegularFile(plan.launcher) || (target == Target.WINDOWS ? !windowsExecutable : !linuxExecutable)) {
            throw Stop.refused("--launcher " + plan.launcher + " is not a " + target.name + " executable");
        }
    }

    private void checkRuntime() throws Stop {
        final Target target = plan.target;
        final Path runtimeImage = options.runtimeImage;
        final Path modulePath = options.modulePath;
        if (runtimeImage != null && modulePath != null) {
            throw Stop.refused("give --runtime-image or --module-path, not both");
        }
        final int ownFeature = Runtime.version().feature();
        if (runtimeImage != null) {
            if (Files.isDirectory(runtimeImage)) {
                plan.runtimeImage = realPath(runtimeImage);  // a link such as /usr/lib/jvm/default-java is copied as what it names
            }
            if (!Files.isRegularFile(runtimeImage.resolve(target.jvmLibrary))) {
                throw Stop.refused("--runtime-image " + runtimeImage + " holds no Java runtime for " + target.name
                        + " (no " + target.jvmLibrary + ")");
            }
            plan.runtimeFeature = JavaRuntime.releaseFeature(runtimeImage);
        } else if (modulePath != null) {
            final ModuleDescriptor base = JavaRuntime.jmodDescriptor(modulePath.resolve("java.base.jmod")).orElseThrow(
                    () -> Stop.refused("--module-path " + modulePath + " is not the jmods folder of a JDK (it holds "
                            + "no readable java.base.jmod)"));
            final String platform = JavaRuntime.jmodPlatform(modulePath.resolve("java.base.jmod"));
            if (platform != null && !platform.equals(target.name)) {
                throw Stop.refused("--module-path " + modulePath + " holds the modules of a " + platform + " JDK, and "
                        + "the target is " + target.name + ": give the jmods folder of a " + target.name + " JDK");
            }
            final String version = base.rawVersion().orElse("unknown");
            plan.runtimeFeature = base.version().map(JavaRuntime::feature).orElse(0);
            if (plan.runtimeFeature != ownFeature) {
                throw Stop.refused("--module-path " + modulePath + " holds the modules of Java " + version
                        + ", and this jlink is Java " + Runtime.version() + ": jlink links only its own feature "
                        + "version; run the packager with a JDK " + plan.runtimeFeature);
            }
        } else if (!target.isOwn()) {
            throw Stop.refused("a " + target.name + " runtime cannot be made from this JDK's modules: give "
                    + "--runtime-image (a " + target.name + " Java runtime) or --module-path (the jmods folder of a "
                    + target.name + " JDK " + ownFeature + ")");
        } else {
            plan.runtimeFeature = ownFeature;
        }
    }

    /** The folder and archive may be made: absent, an empty folder, or made by this packager and --replace given. */
    private void checkReplaceable() throws Stop {
        final Path appFolder = plan.appFolder;
        if (Files.exists(appFolder, LinkOption.NOFOLLOW_LINKS) && !FileTrees.isEmptyFolder(appFolder)) {
            if (!options.replace) {
                throw Stop.refused(appFolder + " exists and is not empty; give --replace to replace a folder this "
                        + "packager made, or choose another --name or --dest");
            }
            if (!Files.isDirectory(appFolder, LinkOption.NOFOLLOW_LINKS)
                    || !Files.isRegularFile(appFolder.resolve(Plan.MARKER))) {
                throw Stop.refused(appFolder + " was not made by this packager (it has no " + Plan.MARKER + "), so "
                        + "--replace leaves it as it is; choose another --name or --dest");
            }
        }
        final Path archivePath = plan.archivePath;
        if (options.archive && Files.exists(archivePath, LinkOption.NOFOLLOW_LINKS)) {
            if (!options.replace) {
                throw Stop.refused(archivePath + " exists; give --replace to replace an archive this packager made");
            }
            if (!archiveHoldsMarker(archivePath)) {
                throw Stop.refused(archivePath + " was not made by this packager, so --replace leaves it as it is");
            }
        }
        final Path dest = options.dest.toAbsolutePath().normalize();
        if (Files.exists(dest) && !Files.isDirectory(dest)) {
            throw Stop.refused("--dest " + options.dest + " is a file, not a folder; name the folder the application "
                    + "folder is made in");
        }
        if (!Files.isWritable(dest) && Files.exists(dest)) {
            throw Stop.refused("no permission to write in " + dest);
        }
    }

    private boolean archiveHoldsMarker(Path path) {
        final String markerEntry = plan.name + "/" + Plan.MARKER;
        try {
            if (plan.target == Target.WINDOWS) {
                try (ZipFile zip = new ZipFile(path.toFile())) {
                    return zip.getEntry(markerEntry) != null;
                }
            }
            try (InputStream tar = new GZIPInputStream(Files.newInputStream(path))) {
                return Tar.entryNames(tar).contains(markerEntry);
            }
        } catch (IOException notOurs) {
            return false;
        }
    }
}
