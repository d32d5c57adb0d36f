package packager;

import java.io.IOException;
import java.io.InputStream;
import java.lang.module.ModuleDescriptor;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.List;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.regex.Pattern;
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
        final Path input = options.input;
        if (input == null || options.mainJar == null) {
            throw Stop.refused("--input and --main-jar are needed; see --help");
        }
        if (!Files.isDirectory(input)) {
            throw Stop.refused("--input " + input + " is not a folder");
        }
        plan.input = input;
        for (final String reserved : List.of("jre", "config.json")) {
            if (Files.exists(input.resolve(reserved), LinkOption.NOFOLLOW_LINKS)) {
                throw Stop.refused("--input " + input + " holds a " + reserved + ", which the packager makes; take it out");
            }
        }
        if (options.dest.toAbsolutePath().normalize().startsWith(input.toAbsolutePath().normalize())) {
            throw Stop.refused("--dest " + options.dest + " lies inside --input " + input + ", which is copied whole; "
                    + "choose another --dest");
        }
        plan.mainJarPath = input.resolve(options.mainJar).normalize();
        if (!plan.mainJarPath.startsWith(input.normalize())) {
            throw Stop.refused("--main-jar " + options.mainJar + " lies outside --input " + input
                    + "; name a jar in that folder");
        }
        if (!Files.isRegularFile(plan.mainJarPath)) {
            throw Stop.refused("--main-jar " + options.mainJar + " does not exist in " + input);
        }
        checkMainClass();
        plan.name = options.name != null ? options.name
                : plan.mainJarPath.getFileName().toString().replaceFirst("(?i)\\.jar$", "");
        checkName(plan.name);
        plan.target = options.target != null ? options.target : Target.own().orElseThrow(
                () -> Stop.refused("this machine is neither Linux nor Windows: give --target"));
        checkLauncher();
        checkRuntime();
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
        if (options.icon != null) {
            if (plan.target != Target.LINUX) {
                throw Stop.refused("--icon makes a .desktop file, which only a Linux target uses; a Windows executable "
                        + "gets its icon when it is built (LAUNCHER_ICON)");
            }
            if (!FileTrees.startsWith(options.icon, PNG_SIGNATURE)) {
                throw Stop.refused("--icon " + options.icon + " is not a PNG image");
            }
        }
        plan.appFolder = options.dest.toAbsolutePath().normalize().resolve(plan.name);
        plan.archivePath = plan.appFolder.resolveSibling(plan.name + plan.target.archiveSuffix);
        checkReplaceable();
    }

    private static void checkName(String name) throws Stop {
        if (name.isEmpty() || name.equals(".") || name.equals("..") || name.matches(".*[/\\\\:*?\"<>|\\x00-\\x1f].*")) {
            throw Stop.refused("--name " + name + " is not a file name every platform accepts: leave out / \\ : * ? \" "
                    + "< > |");
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
        plan.launcher = options.launcher != null ? options.launcher : Launchers.defaultFor(target);
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
            if (!Files.isRegularFile(runtimeImage.resolve(target.jvmLibrary))) {
                throw Stop.refused("--runtime-image " + runtimeImage + " holds no Java runtime for " + target.name
                        + " (no " + target.jvmLibrary + ")");
            }
            plan.runtimeFeature = JavaRuntime.releaseFeature(runtimeImage);
        } else if (modulePath != null) {
            final ModuleDescriptor base = JavaRuntime.jmodDescriptor(modulePath.resolve("java.base.jmod")).orElseThrow(
                    () -> Stop.refused("--module-path " + modulePath + " is not the jmods folder of a JDK (it holds "
                            + "no readable java.base.jmod)"));
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
