import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.PrintStream;
import java.io.UncheckedIOException;
import java.lang.module.ModuleDescriptor;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryNotEmptyException;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFilePermission;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Locale;
import java.util.Optional;
import java.util.Set;
import java.util.TreeSet;
import java.util.concurrent.TimeUnit;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.spi.ToolProvider;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import java.util.zip.GZIPInputStream;
import java.util.zip.GZIPOutputStream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;
import java.util.zip.ZipOutputStream;

/**
 * Makes the application folder a product ships: the launcher under the product's name, config.json, the
 * program's jars and a Java runtime made to measure with jlink, with its class-data-sharing archive and, on
 * request, an ahead-of-time cache of the program's own classes; optionally an archive of the folder.
 *
 * <p>Run it with nothing but a JDK (17 or later): {@code java packager/Packager.java --help}.
 *
 * <p>Exit status: 0 made; 1 making failed (nothing is left behind); 2 refused before anything was made (a bad
 * option or input); 3 made, but without the ahead-of-time cache, whose training run failed.
 */
public final class Packager {
    static final int FAILED = 1;
    static final int REFUSED = 2;
    static final int MADE_WITHOUT_CACHE = 3;

    /** The file that marks a folder this packager made, so that --replace never deletes anything else. */
    static final String MARKER = ".made-by-packager";
    /** The system property a training run can read to know it is one. */
    static final String TRAINING_PROPERTY = "launcher.aot.training";
    static final String AOT_CACHE = "app.aot";

    /** Why packaging stopped; its status says whether anything was made. */
    static final class Stop extends Exception {
        final int status;

        Stop(int status, String message) {
            super(message);
            this.status = status;
        }
    }

    static Stop refused(String message) {
        return new Stop(REFUSED, message);
    }

    enum Target {
        LINUX("linux", "", "lib/server/libjvm.so"),
        WINDOWS("windows", ".exe", "bin/server/jvm.dll");

        final String name;
        final String executableSuffix;
        final String jvmLibrary;

        Target(String name, String executableSuffix, String jvmLibrary) {
            this.name = name;
            this.executableSuffix = executableSuffix;
            this.jvmLibrary = jvmLibrary;
        }

        static Optional<Target> own() {
            final String os = System.getProperty("os.name").toLowerCase(Locale.ROOT);
            return os.startsWith("linux") ? Optional.of(LINUX)
                    : os.startsWith("windows") ? Optional.of(WINDOWS) : Optional.empty();
        }
    }

    static final String HELP = String.join("\n",
            "Usage: java packager/Packager.java --input DIR --main-jar NAME [options]",
            "",
            "Makes the application folder DEST/NAME: the launcher as NAME (NAME.exe for Windows), config.json,",
            "everything in --input, and a Java runtime in jre made with jlink for the modules the jars use.",
            "",
            "  --input DIR                 the folder holding the program's jars; all of it is copied",
            "  --main-jar NAME             the jar in --input that holds the main class",
            "  --main-class NAME           the class whose main runs (a.b.C or a/b/C);",
            "                              default: Main-Class of the main jar's manifest",
            "  --java-options TEXT         a JVM option, one per use, in order; $APPDIR stands for the folder",
            "  --name NAME                 the product's name (default: the main jar's name)",
            "  --dest DIR                  where the folder NAME is made (default: the current directory)",
            "  --target linux|windows      the platform it is for (default: this machine's)",
            "  --launcher FILE             the launcher executable to copy (default: the one this checkout",
            "                              built, build/linux/launcher or build/windows/launcher.exe)",
            "  --runtime-image DIR         an existing Java runtime to copy as jre, as it is",
            "  --module-path DIR           the jmods folder of a JDK for the target platform, of the same",
            "                              feature version as this JDK (needed for another platform)",
            "  --add-modules LIST          modules to add to those jdeps finds, comma-separated",
            "  --aot-cache                 train the program once and ship its classes loaded and linked",
            "                              ahead of time (a Java 25 or later runtime, this platform only);",
            "                              the training run sees the property " + TRAINING_PROPERTY + "=true",
            "                              and must end by itself",
            "  --aot-training-timeout SEC  how long the training run may take (default 120)",
            "  --archive                   also make NAME.zip (Windows) or NAME.tar.gz (Linux) beside it",
            "  --icon FILE                 a PNG icon: NAME.png and NAME.desktop beside the launcher (Linux)",
            "  --replace                   replace a folder (and archive) this packager made before",
            "  --help                      this text",
            "",
            "Exit status: 0 made; 1 failed, nothing left behind; 2 refused, nothing made;",
            "3 made without the ahead-of-time cache, whose training run failed.");

    // The options, as given.
    Path input;
    String mainJar;
    String mainClass;
    final List<String> javaOptions = new ArrayList<>();
    String name;
    Path dest = Path.of("");
    Target target;
    Path launcher;
    Path runtimeImage;
    Path modulePath;
    final List<String> addModules = new ArrayList<>();
    boolean aotCache;
    long aotTrainingTimeoutSeconds = 120;
    boolean archive;
    Path icon;
    boolean replace;

    public static void main(String[] arguments) {
        int status;
        try {
            final Packager packager = new Packager();
            if (!packager.parse(arguments)) {
                System.out.println(HELP);
                return;
            }
            status = packager.make();
        } catch (Stop stop) {
            System.err.println("error: " + stop.getMessage());
            status = stop.status;
        }
        System.exit(status);
    }

    /** Reads the options; false when only the help is asked for. */
    boolean parse(String[] arguments) throws Stop {
        for (int i = 0; i < arguments.length; ++i) {
            String option = arguments[i];
            String value = null;
            final int equals = option.indexOf('=');
            if (option.startsWith("--") && equals > 0) {
                value = option.substring(equals + 1);
                option = option.substring(0, equals);
            }
            switch (option) {
                case "--help", "-h", "-?" -> {
                    return false;
                }
                case "--aot-cache" -> aotCache = true;
                case "--archive" -> archive = true;
                case "--replace" -> replace = true;
                default -> {
                    if (value == null) {
                        if (i + 1 >= arguments.length) {
                            throw refused(option.startsWith("--") && isValueOption(option)
                                    ? option + " needs a value" : "unknown option " + option + "; see --help");
                        }
                        value = arguments[++i];
                    }
                    take(option, value);
                }
            }
        }
        return true;
    }

    static boolean isValueOption(String option) {
        return List.of("--input", "--main-jar", "--main-class", "--java-options", "--name", "--dest", "--target",
                "--launcher", "--runtime-image", "--module-path", "--add-modules", "--aot-training-timeout",
                "--icon").contains(option);
    }

    void take(String option, String value) throws Stop {
        switch (option) {
            case "--input" -> input = Path.of(value);
            case "--main-jar" -> mainJar = value;
            case "--main-class" -> mainClass = value;
            case "--java-options" -> javaOptions.add(value);
            case "--name" -> name = value;
            case "--dest" -> dest = Path.of(value);
            case "--target" -> target = Arrays.stream(Target.values()).filter(t -> t.name.equals(value)).findFirst()
                    .orElseThrow(() -> refused("--target " + value + " is not a platform the launcher runs on; "
                            + "give linux or windows"));
            case "--launcher" -> launcher = Path.of(value);
            case "--runtime-image" -> runtimeImage = Path.of(value);
            case "--module-path" -> modulePath = Path.of(value);
            case "--add-modules" -> Arrays.stream(value.split(",")).map(String::trim).filter(m -> !m.isEmpty())
                    .forEach(addModules::add);
            case "--aot-training-timeout" -> {
                try {
                    aotTrainingTimeoutSeconds = Long.parseLong(value);
                } catch (NumberFormatException notANumber) {
                    aotTrainingTimeoutSeconds = 0;
                }
                if (aotTrainingTimeoutSeconds <= 0) {
                    throw refused("--aot-training-timeout " + value + " is not a number of seconds above 0");
                }
            }
            case "--icon" -> icon = Path.of(value);
            default -> throw refused("unknown option " + option + "; see --help");
        }
    }

    // What the checks below settle before anything is made.
    Path mainJarPath;
    String mainClassInternalName;
    Path appFolder;
    Path archivePath;
    int runtimeFeature;

    int make() throws Stop {
        check();
        final Path staging;
        try {
            Files.createDirectories(appFolder.getParent());
            // Beside the final folder, so that it becomes it in one rename.
            staging = Files.createTempDirectory(appFolder.getParent(), "." + name + ".packaging-");
            readableByAll(staging, true);
        } catch (IOException | SecurityException cannotWrite) {
            throw refused("cannot write in " + dest.toAbsolutePath() + ": " + describe(cannotWrite));
        }
        String trainingFailure = null;
        try {
            assemble(staging);
            if (aotCache) {
                trainingFailure = train(staging);
            }
            writeConfig(staging, trainingFailure == null && aotCache);
            putInPlace(staging);
            if (archive) {
                writeArchive();
            }
        } catch (IOException | UncheckedIOException | SecurityException failure) {
            deleteQuietly(staging);
            throw new Stop(FAILED, "making " + appFolder + " failed: " + describe(failure)
                    + "; nothing was left behind");
        } catch (Stop stop) {
            deleteQuietly(staging);
            throw stop;
        }
        System.out.println("made " + appFolder + (archive ? " and " + archivePath : ""));
        if (trainingFailure != null) {
            System.err.println("error: " + trainingFailure + "; the folder was made without the ahead-of-time "
                    + "cache, and starts as it would without --aot-cache");
            return MADE_WITHOUT_CACHE;
        }
        return 0;
    }

    /** Every check that can refuse the work, before anything is made. */
    void check() throws Stop {
        if (input == null || mainJar == null) {
            throw refused("--input and --main-jar are needed; see --help");
        }
        if (!Files.isDirectory(input)) {
            throw refused("--input " + input + " is not a folder");
        }
        for (final String reserved : List.of("jre", "config.json")) {
            if (Files.exists(input.resolve(reserved), LinkOption.NOFOLLOW_LINKS)) {
                throw refused("--input " + input + " holds a " + reserved + ", which the packager makes; take it out");
            }
        }
        if (dest.toAbsolutePath().normalize().startsWith(input.toAbsolutePath().normalize())) {
            throw refused("--dest " + dest + " lies inside --input " + input + ", which is copied whole; choose "
                    + "another --dest");
        }
        mainJarPath = input.resolve(mainJar).normalize();
        if (!mainJarPath.startsWith(input.normalize())) {
            throw refused("--main-jar " + mainJar + " lies outside --input " + input + "; name a jar in that folder");
        }
        if (!Files.isRegularFile(mainJarPath)) {
            throw refused("--main-jar " + mainJar + " does not exist in " + input);
        }
        checkMainClass();
        if (name == null) {
            name = mainJarPath.getFileName().toString().replaceFirst("(?i)\\.jar$", "");
        }
        if (name.isEmpty() || name.equals(".") || name.equals("..") || name.matches(".*[/\\\\:*?\"<>|\\x00-\\x1f].*")) {
            throw refused("--name " + name + " is not a file name every platform accepts: leave out / \\ : * ? \" < > |");
        }
        if (target == null) {
            target = Target.own().orElseThrow(() -> refused("this machine is neither Linux nor Windows: give --target"));
        }
        final boolean ownPlatform = Target.own().orElse(null) == target;
        checkLauncher();
        checkRuntime(ownPlatform);
        if (aotCache && !ownPlatform) {
            throw refused("--aot-cache trains the program on this machine, so the target must be this machine's "
                    + "platform, not " + target.name);
        }
        if (aotCache && runtimeFeature < 25) {
            final String version = runtimeFeature == 0 ? "of a version its release file does not name"
                    : "Java " + runtimeFeature;
            throw refused("--aot-cache needs a Java 25 or later runtime, and this one is " + version
                    + ": an older runtime records the folder's absolute path in its archive of the "
                    + "program's classes and ignores the archive once the folder moves; run the packager with a "
                    + "JDK 25 or give --runtime-image a Java 25 runtime");
        }
        if (icon != null) {
            if (target != Target.LINUX) {
                throw refused("--icon makes a .desktop file, which only a Linux target uses; a Windows executable "
                        + "gets its icon when it is built (LAUNCHER_ICON)");
            }
            if (!startsWith(icon, new byte[] {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'})) {
                throw refused("--icon " + icon + " is not a PNG image");
            }
        }
        appFolder = dest.toAbsolutePath().normalize().resolve(name);
        archivePath = appFolder.resolveSibling(name + (target == Target.WINDOWS ? ".zip" : ".tar.gz"));
        checkReplaceable();
    }

    void checkMainClass() throws Stop {
        try (JarFile jar = new JarFile(mainJarPath.toFile())) {
            if (mainClass == null) {
                final Attributes attributes = jar.getManifest() == null ? null : jar.getManifest().getMainAttributes();
                mainClass = attributes == null ? null : attributes.getValue(Attributes.Name.MAIN_CLASS);
                if (mainClass == null || mainClass.isBlank()) {
                    throw refused("no main class: " + mainJar + " has no Main-Class in its manifest; give --main-class");
                }
                mainClass = mainClass.trim();
            }
            mainClassInternalName = mainClass.replace('.', '/');
            final String entry = mainClassInternalName + ".class";
            final boolean present = jar.stream().anyMatch(e -> e.getName().equals(entry)
                    || e.getName().matches("META-INF/versions/\\d+/" + java.util.regex.Pattern.quote(entry)));
            if (!present) {
                throw refused("the main class " + mainClass + " is not in " + mainJar + " (it holds no " + entry + ")");
            }
        } catch (IOException notAJar) {
            throw refused("--main-jar " + mainJarPath + " is not a jar: " + describe(notAJar));
        }
    }

    void checkLauncher() throws Stop {
        if (launcher == null) {
            final Path checkout = ownCheckout().orElseThrow(
                    () -> refused("cannot tell where this packager lies, so there is no default launcher; give --launcher"));
            launcher = checkout.resolve(target == Target.WINDOWS ? "build/windows/launcher.exe" : "build/linux/launcher");
            if (!Files.isRegularFile(launcher)) {
                throw refused("there is no " + target.name + " launcher at " + launcher + ": build it ("
                        + (target == Target.WINDOWS ? "cmake --preset windows && cmake --build --preset windows"
                                : "cmake --preset linux && cmake --build --preset linux")
                        + ") or give --launcher");
            }
        }
        final boolean windowsExecutable = startsWith(launcher, new byte[] {'M', 'Z'});
        final boolean linuxExecutable = startsWith(launcher, new byte[] {0x7f, 'E', 'L', 'F'});
        if (!Files.isRegularFile(launcher) || (target == Target.WINDOWS ? !windowsExecutable : !linuxExecutable)) {
            throw refused("--launcher " + launcher + " is not a " + target.name + " executable");
        }
    }

    void checkRuntime(boolean ownPlatform) throws Stop {
        if (runtimeImage != null && modulePath != null) {
            throw refused("give --runtime-image or --module-path, not both");
        }
        final int ownFeature = Runtime.version().feature();
        if (runtimeImage != null) {
            if (!Files.isRegularFile(runtimeImage.resolve(target.jvmLibrary))) {
                throw refused("--runtime-image " + runtimeImage + " holds no Java runtime for " + target.name
                        + " (no " + target.jvmLibrary + ")");
            }
            runtimeFeature = releaseFeature(runtimeImage);
        } else if (modulePath != null) {
            final ModuleDescriptor base = jmodDescriptor(modulePath.resolve("java.base.jmod")).orElseThrow(
                    () -> refused("--module-path " + modulePath + " is not the jmods folder of a JDK (it holds no "
                            + "readable java.base.jmod)"));
            final String version = base.rawVersion().orElse("unknown");
            runtimeFeature = base.version().map(Packager::feature).orElse(0);
            if (runtimeFeature != ownFeature) {
                throw refused("--module-path " + modulePath + " holds the modules of Java " + version
                        + ", and this jlink is Java " + Runtime.version() + ": jlink links only its own feature "
                        + "version; run the packager with a JDK " + runtimeFeature);
            }
        } else if (!ownPlatform) {
            throw refused("a " + target.name + " runtime cannot be made from this JDK's modules: give --runtime-image"
                    + " (a " + target.name + " Java runtime) or --module-path (the jmods folder of a " + target.name
                    + " JDK " + ownFeature + ")");
        } else {
            runtimeFeature = ownFeature;
        }
    }

    /** The module descriptor in a JMOD file, which is a zip file behind a 4-byte header of its own. */
    static Optional<ModuleDescriptor> jmodDescriptor(Path jmod) {
        if (!Files.isRegularFile(jmod)) {
            return Optional.empty();
        }
        try (ZipFile zip = new ZipFile(jmod.toFile())) {
            final ZipEntry moduleInfo = zip.getEntry("classes/module-info.class");
            if (moduleInfo == null) {
                return Optional.empty();
            }
            try (InputStream in = zip.getInputStream(moduleInfo)) {
                return Optional.of(ModuleDescriptor.read(in));
            }
        } catch (IOException | RuntimeException unreadable) {
            return Optional.empty();
        }
    }

    static int feature(ModuleDescriptor.Version version) {
        final String text = version.toString();
        final int end = text.replaceAll("[^0-9].*$", "").length();
        return end == 0 ? 0 : Integer.parseInt(text.substring(0, end));
    }

    /** The feature version in a runtime's release file (JAVA_VERSION="25.0.3" gives 25), 0 if none. */
    static int releaseFeature(Path runtime) {
        try (Stream<String> lines = Files.lines(runtime.resolve("release"), StandardCharsets.UTF_8)) {
            return lines.filter(line -> line.startsWith("JAVA_VERSION=")).findFirst()
                    .map(line -> line.replaceAll("^JAVA_VERSION=\"?(1\\.)?([0-9]+).*$", "$2"))
                    .filter(text -> text.matches("[0-9]+")).map(Integer::parseInt).orElse(0);
        } catch (IOException | UncheckedIOException noReleaseFile) {
            return 0;
        }
    }

    /** The folder and archive may be made: absent, an empty folder, or made by this packager and --replace given. */
    void checkReplaceable() throws Stop {
        if (Files.exists(appFolder, LinkOption.NOFOLLOW_LINKS) && !isEmptyFolder(appFolder)) {
            if (!replace) {
                throw refused(appFolder + " exists and is not empty; give --replace to replace a folder this packager "
                        + "made, or choose another --name or --dest");
            }
            if (!Files.isDirectory(appFolder, LinkOption.NOFOLLOW_LINKS) || !Files.isRegularFile(appFolder.resolve(MARKER))) {
                throw refused(appFolder + " was not made by this packager (it has no " + MARKER + "), so --replace "
                        + "leaves it as it is; choose another --name or --dest");
            }
        }
        if (archive && Files.exists(archivePath, LinkOption.NOFOLLOW_LINKS)) {
            if (!replace) {
                throw refused(archivePath + " exists; give --replace to replace an archive this packager made");
            }
            if (!archiveHoldsMarker(archivePath)) {
                throw refused(archivePath + " was not made by this packager, so --replace leaves it as it is");
            }
        }
        if (!Files.isWritable(dest.toAbsolutePath().normalize()) && Files.exists(dest)) {
            throw refused("no permission to write in " + dest.toAbsolutePath().normalize());
        }
    }

    boolean archiveHoldsMarker(Path path) {
        final String markerEntry = name + "/" + MARKER;
        try {
            if (path.getFileName().toString().endsWith(".zip")) {
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

    /** The checkout this source file lies in: the folder above packager/. */
    static Optional<Path> ownCheckout() {
        // The JDK's source launcher names the file it runs right after its own class.
        final String command = System.getProperty("sun.java.command", "");
        final int start = command.indexOf(' ') + 1;
        final int end = command.indexOf("Packager.java");
        if (start <= 0 || end < start) {
            return Optional.empty();
        }
        final Path source = Path.of(command.substring(start, end + "Packager.java".length())).toAbsolutePath();
        return Optional.ofNullable(source.getParent()).map(Path::getParent);
    }

    /** Everything but config.json: the input, the launcher, the runtime, the icon and the marker. */
    void assemble(Path staging) throws IOException, Stop {
        copyTree(input, staging);
        final Path executable = staging.resolve(name + target.executableSuffix);
        Files.copy(launcher, executable, StandardCopyOption.REPLACE_EXISTING);
        makeExecutable(executable);
        final Path jre = staging.resolve("jre");
        if (runtimeImage != null) {
            copyTree(runtimeImage, jre);
        } else {
            link(jre, staging);
        }
        if (icon != null) {
            Files.copy(icon, staging.resolve(name + ".png"));
            Files.writeString(staging.resolve(name + ".desktop"), desktopEntry(), StandardCharsets.UTF_8);
        }
        Files.writeString(staging.resolve(MARKER),
                "This folder was made by the launcher's packager; its --replace may replace it.\n",
                StandardCharsets.UTF_8);
    }

    /** The runtime, made with jlink for the modules the jars need. */
    void link(Path jre, Path staging) throws Stop {
        final List<Path> jars;
        try (Stream<Path> files = Files.walk(staging)) {
            jars = files.filter(f -> f.toString().toLowerCase(Locale.ROOT).endsWith(".jar") && Files.isRegularFile(f))
                    .sorted().collect(Collectors.toList());
        } catch (IOException | UncheckedIOException unreadable) {
            throw new Stop(FAILED, "cannot list the jars in " + input + ": " + describe(unreadable));
        }
        final List<String> jdepsArguments = new ArrayList<>(List.of("--print-module-deps", "--ignore-missing-deps",
                "--multi-release", Integer.toString(runtimeFeature)));
        jars.forEach(jar -> jdepsArguments.add(jar.toString()));
        final String found = runTool("jdeps", jdepsArguments).trim();
        final Set<String> modules = new LinkedHashSet<>();
        Arrays.stream(found.split("[,\\s]+")).filter(m -> !m.isEmpty()).forEach(modules::add);
        modules.addAll(addModules);
        if (modules.isEmpty()) {
            modules.add("java.base");
        }
        final List<String> jlinkArguments = new ArrayList<>(List.of("--add-modules", String.join(",", modules),
                "--strip-debug", "--no-header-files", "--no-man-pages", "--output", jre.toString()));
        if (modulePath != null) {
            jlinkArguments.addAll(List.of("--module-path", modulePath.toString()));
        }
        if (Target.own().orElse(null) == target) {
            // Without it the runtime starts markedly slower; only this platform's runtime can make it.
            jlinkArguments.add("--generate-cds-archive");
        }
        runTool("jlink", jlinkArguments);
    }

    /** Runs a JDK tool in this process; its output, or a Stop that quotes it. */
    static String runTool(String toolName, List<String> arguments) throws Stop {
        final ToolProvider tool = ToolProvider.findFirst(toolName).orElseThrow(
                () -> new Stop(FAILED, "this JDK has no " + toolName + "; run the packager with a full JDK"));
        final ByteArrayOutputStream output = new ByteArrayOutputStream();
        final ByteArrayOutputStream errors = new ByteArrayOutputStream();
        int status;
        try (PrintStream out = new PrintStream(output, true, StandardCharsets.UTF_8);
                PrintStream err = new PrintStream(errors, true, StandardCharsets.UTF_8)) {
            status = tool.run(out, err, arguments.toArray(String[]::new));
        } catch (RuntimeException crashed) {
            // Some tools throw on input they cannot read (jdeps on a damaged jar).
            errors.writeBytes(describe(crashed).getBytes(StandardCharsets.UTF_8));
            status = -1;
        }
        final String text = output.toString(StandardCharsets.UTF_8);
        if (status != 0) {
            final String said = (errors.toString(StandardCharsets.UTF_8) + " " + text).trim().replaceAll("\\s+", " ");
            throw new Stop(FAILED, toolName + " failed (status " + status + "): " + said + "; nothing was left behind");
        }
        return text;
    }

    /**
     * Runs the packaged program once to record its classes, and leaves the cache in the folder. Returns why it
     * failed, or null.
     */
    String train(Path staging) throws IOException {
        writeConfigFile(staging, withTraining());
        final Path log = Files.createTempFile("packager-training", ".log");
        try {
            final Process process = new ProcessBuilder(staging.resolve(name + target.executableSuffix).toString())
                    .directory(staging.toFile()).redirectErrorStream(true).redirectOutput(log.toFile()).start();
            process.getOutputStream().close();  // a program that reads its input gets none, not a wait
            if (!process.waitFor(aotTrainingTimeoutSeconds, TimeUnit.SECONDS)) {
                process.destroyForcibly().waitFor();
                return "the training run did not end within " + aotTrainingTimeoutSeconds + " seconds "
                        + "(--aot-training-timeout); a program to be trained must end by itself, for example when "
                        + "it sees the property " + TRAINING_PROPERTY + "=true";
            }
            final List<String> said = Files.readAllLines(log, StandardCharsets.UTF_8);
            final String lastWords = said.subList(Math.max(0, said.size() - 3), said.size()).stream()
                    .collect(Collectors.joining(" / "));
            if (process.exitValue() != 0) {
                return "the training run ended with status " + process.exitValue() + " (" + lastWords + ")";
            }
            if (!Files.isRegularFile(staging.resolve(AOT_CACHE))) {
                return "the training run made no ahead-of-time cache (" + lastWords + ")";
            }
            return null;
        } catch (InterruptedException interrupted) {
            Thread.currentThread().interrupt();
            return "the training run was interrupted";
        } finally {
            Files.deleteIfExists(log);
            Files.deleteIfExists(staging.resolve(AOT_CACHE + ".config"));
        }
    }

    List<String> withTraining() {
        final List<String> options = new ArrayList<>(javaOptions);
        options.add("-XX:AOTCacheOutput=$APPDIR/" + AOT_CACHE);
        options.add("-D" + TRAINING_PROPERTY + "=true");
        return options;
    }

    void writeConfig(Path staging, boolean withCache) throws IOException {
        final List<String> options = new ArrayList<>(javaOptions);
        if (withCache) {
            // $APPDIR: the cache is found wherever the folder is moved.
            options.add("-XX:AOTCache=$APPDIR/" + AOT_CACHE);
        } else {
            Files.deleteIfExists(staging.resolve(AOT_CACHE));
        }
        writeConfigFile(staging, options);
    }

    void writeConfigFile(Path staging, List<String> options) throws IOException {
        final String jar = input.relativize(mainJarPath).toString().replace('\\', '/');
        final StringBuilder config = new StringBuilder("{\n");
        config.append("  \"jar\": ").append(json(jar)).append(",\n");
        config.append("  \"mainClass\": ").append(json(mainClassInternalName)).append(",\n");
        config.append("  \"vmArgs\": [");
        for (int i = 0; i < options.size(); ++i) {
            config.append(i == 0 ? "\n    " : ",\n    ").append(json(options.get(i)));
        }
        config.append(options.isEmpty() ? "]\n}\n" : "\n  ]\n}\n");
        Files.writeString(staging.resolve("config.json"), config, StandardCharsets.UTF_8);
    }

    /** A JSON string: quotes, backslashes and control characters escaped, everything else as it is (UTF-8). */
    static String json(String text) {
        final StringBuilder quoted = new StringBuilder("\"");
        for (final char c : text.toCharArray()) {
            switch (c) {
                case '"' -> quoted.append("\\\"");
                case '\\' -> quoted.append("\\\\");
                case '\n' -> quoted.append("\\n");
                case '\r' -> quoted.append("\\r");
                case '\t' -> quoted.append("\\t");
                default -> {
                    if (c < 0x20) {
                        quoted.append(String.format("\\u%04x", (int) c));
                    } else {
                        quoted.append(c);
                    }
                }
            }
        }
        return quoted.append('"').toString();
    }

    /** A freedesktop.org entry that starts the launcher where this packager made the folder. */
    String desktopEntry() {
        final Path executable = appFolder.resolve(name);
        return "[Desktop Entry]\n"
                + "Type=Application\n"
                + "Name=" + desktopString(name) + "\n"
                + "Exec=" + desktopString(execArgument(executable.toString())) + " %F\n"
                + "Icon=" + desktopString(appFolder.resolve(name + ".png").toString()) + "\n"
                + "Terminal=false\n";
    }

    /** An Exec argument, quoted where it must be, with its reserved characters escaped. */
    static String execArgument(String text) {
        if (!text.matches(".*[ \\t\\n\"'\\\\><~|&;$*?#()`].*")) {
            return text;
        }
        return "\"" + text.replaceAll("([\"`$\\\\])", "\\\\$1") + "\"";
    }

    /** A value of type string in a .desktop file: backslashes and line breaks escaped. */
    static String desktopString(String text) {
        return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t").replace("\r", "\\r");
    }

    /** Makes the staging folder the application folder, replacing the one this packager made before. */
    void putInPlace(Path staging) throws IOException {
        Path previous = null;
        if (Files.exists(appFolder, LinkOption.NOFOLLOW_LINKS)) {
            previous = Files.createTempDirectory(appFolder.getParent(), "." + name + ".replaced-");
            Files.delete(previous);
            Files.move(appFolder, previous);
        }
        try {
            Files.move(staging, appFolder);
        } catch (IOException cannotMove) {
            if (previous != null) {
                Files.move(previous, appFolder);
            }
            throw cannotMove;
        }
        if (previous != null) {
            deleteQuietly(previous);
        }
    }

    void writeArchive() throws IOException {
        final Path partial = Files.createTempFile(appFolder.getParent(), "." + name + ".archive-", ".part");
        try {
            try (OutputStream out = Files.newOutputStream(partial)) {
                if (target == Target.WINDOWS) {
                    writeZip(out);
                } else {
                    try (GZIPOutputStream gzip = new GZIPOutputStream(out)) {
                        Tar.write(gzip, appFolder, name);
                    }
                }
            }
            readableByAll(partial, false);
            Files.move(partial, archivePath, StandardCopyOption.REPLACE_EXISTING);
        } finally {
            Files.deleteIfExists(partial);
        }
    }

    void writeZip(OutputStream out) throws IOException {
        try (ZipOutputStream zip = new ZipOutputStream(out); Stream<Path> files = Files.walk(appFolder)) {
            for (final Path file : (Iterable<Path>) files.sorted()::iterator) {
                final String entry = name + (file.equals(appFolder) ? "" : "/"
                        + appFolder.relativize(file).toString().replace('\\', '/'));
                if (Files.isDirectory(file)) {
                    zip.putNextEntry(new ZipEntry(entry + "/"));
                } else {
                    zip.putNextEntry(new ZipEntry(entry));
                    Files.copy(file, zip);
                }
                zip.closeEntry();
            }
        }
    }

    static void copyTree(Path from, Path to) throws IOException {
        Files.walkFileTree(from, new SimpleFileVisitor<>() {
            @Override
            public FileVisitResult preVisitDirectory(Path directory, BasicFileAttributes attributes) throws IOException {
                Files.createDirectories(to.resolve(from.relativize(directory).toString()));
                return FileVisitResult.CONTINUE;
            }

            @Override
            public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) throws IOException {
                Files.copy(file, to.resolve(from.relativize(file).toString()), StandardCopyOption.COPY_ATTRIBUTES,
                        LinkOption.NOFOLLOW_LINKS);
                return FileVisitResult.CONTINUE;
            }
        });
    }

    static void makeExecutable(Path file) throws IOException {
        final PosixFileAttributeView view = Files.getFileAttributeView(file, PosixFileAttributeView.class);
        if (view != null) {
            final Set<PosixFilePermission> permissions = new TreeSet<>(view.readAttributes().permissions());
            permissions.addAll(Set.of(PosixFilePermission.OWNER_EXECUTE, PosixFilePermission.GROUP_EXECUTE,
                    PosixFilePermission.OTHERS_EXECUTE, PosixFilePermission.OWNER_READ));
            view.setPermissions(permissions);
        }
    }

    /** A temporary file or folder made as what it becomes: readable by all, as a folder or file normally is. */
    static void readableByAll(Path path, boolean folder) throws IOException {
        final PosixFileAttributeView view = Files.getFileAttributeView(path, PosixFileAttributeView.class);
        if (view != null) {
            view.setPermissions(java.nio.file.attribute.PosixFilePermissions.fromString(folder ? "rwxr-xr-x" : "rw-r--r--"));
        }
    }

    static boolean isEmptyFolder(Path folder) {
        try (Stream<Path> entries = Files.list(folder)) {
            return Files.isDirectory(folder, LinkOption.NOFOLLOW_LINKS) && entries.findAny().isEmpty();
        } catch (IOException | UncheckedIOException notAFolder) {
            return false;
        }
    }

    static boolean startsWith(Path file, byte[] signature) {
        try (InputStream in = Files.newInputStream(file)) {
            return Arrays.equals(in.readNBytes(signature.length), signature);
        } catch (IOException | SecurityException unreadable) {
            return false;
        }
    }

    /** Deletes a folder this packager made (staging, or a folder it replaces), never following links out of it. */
    static void deleteQuietly(Path folder) {
        try {
            Files.walkFileTree(folder, new SimpleFileVisitor<>() {
                @Override
                public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) throws IOException {
                    // Windows will not delete a read-only file, such as the runtime's CDS archive.
                    if (!attributes.isSymbolicLink()) {
                        file.toFile().setWritable(true);
                    }
                    Files.delete(file);
                    return FileVisitResult.CONTINUE;
                }

                @Override
                public FileVisitResult postVisitDirectory(Path directory, IOException failure) throws IOException {
                    Files.delete(directory);
                    return FileVisitResult.CONTINUE;
                }
            });
        } catch (IOException | UncheckedIOException ignored) {
            // What could not be deleted is a hidden folder of ours beside the application folder.
        }
    }

    static String describe(Exception failure) {
        String text = failure.getMessage() == null ? failure.getClass().getSimpleName() : failure.getMessage();
        if (failure instanceof java.nio.file.AccessDeniedException) {
            text = "permission denied: " + text;
        } else if (failure instanceof java.nio.file.NoSuchFileException) {
            text = "no such file: " + text;
        } else if (failure instanceof DirectoryNotEmptyException) {
            text = "folder not empty: " + text;
        }
        return text;
    }

    /** A POSIX tar archive, file modes kept: the JDK has no writer of its own. */
    static final class Tar {
        static void write(OutputStream out, Path folder, String top) throws IOException {
            try (Stream<Path> files = Files.walk(folder)) {
                for (final Path file : (Iterable<Path>) files.sorted()::iterator) {
                    final String entry = top + (file.equals(folder) ? "" : "/"
                            + folder.relativize(file).toString().replace('\\', '/'));
                    final boolean link = Files.isSymbolicLink(file);
                    final boolean directory = !link && Files.isDirectory(file);
                    final byte[] target = link ? Files.readSymbolicLink(file).toString().getBytes(StandardCharsets.UTF_8)
                            : new byte[0];
                    final long size = link || directory ? 0 : Files.size(file);
                    writeHeader(out, directory ? entry + "/" : entry, mode(file, directory), size,
                            Files.getLastModifiedTime(file, LinkOption.NOFOLLOW_LINKS).toMillis() / 1000,
                            link ? '2' : directory ? '5' : '0', target);
                    if (!link && !directory) {
                        Files.copy(file, out);
                        pad(out, size);
                    }
                }
            }
            out.write(new byte[1024]);  // two empty blocks end the archive
        }

        static int mode(Path file, boolean directory) throws IOException {
            final PosixFileAttributeView view =
                    Files.getFileAttributeView(file, PosixFileAttributeView.class, LinkOption.NOFOLLOW_LINKS);
            if (view == null) {
                return directory ? 0755 : 0644;
            }
            int mode = 0;
            for (final PosixFilePermission permission : view.readAttributes().permissions()) {
                mode |= 0400 >> permission.ordinal();
            }
            return mode;
        }

        static void writeHeader(OutputStream out, String entry, int mode, long size, long mtime, char type,
                byte[] linkTarget) throws IOException {
            final byte[] nameBytes = entry.getBytes(StandardCharsets.UTF_8);
            if (nameBytes.length > 100 || linkTarget.length > 100) {
                // GNU long names: the name (or link target) as the data of an entry of its own.
                if (nameBytes.length > 100) {
                    writeLongName(out, 'L', nameBytes);
                }
                if (linkTarget.length > 100) {
                    writeLongName(out, 'K', linkTarget);
                }
            }
            final byte[] header = new byte[512];
            put(header, 0, 100, Arrays.copyOf(nameBytes, Math.min(nameBytes.length, 100)));
            put(header, 100, 8, octal(mode, 7));
            put(header, 108, 8, octal(0, 7));
            put(header, 116, 8, octal(0, 7));
            put(header, 124, 12, octal(size, 11));
            put(header, 136, 12, octal(mtime, 11));
            Arrays.fill(header, 148, 156, (byte) ' ');
            header[156] = (byte) type;
            put(header, 157, 100, Arrays.copyOf(linkTarget, Math.min(linkTarget.length, 100)));
            put(header, 257, 8, "ustar  \0".getBytes(StandardCharsets.US_ASCII));
            put(header, 265, 32, "root".getBytes(StandardCharsets.US_ASCII));
            put(header, 297, 32, "root".getBytes(StandardCharsets.US_ASCII));
            long sum = 0;
            for (final byte b : header) {
                sum += b & 0xff;
            }
            put(header, 148, 8, octal(sum, 6));
            header[154] = 0;
            out.write(header);
        }

        static void writeLongName(OutputStream out, char type, byte[] text) throws IOException {
            final byte[] data = Arrays.copyOf(text, text.length + 1);
            writeHeader(out, "././@LongLink", 0644, data.length, 0, type, new byte[0]);
            out.write(data);
            pad(out, data.length);
        }

        static void pad(OutputStream out, long size) throws IOException {
            out.write(new byte[(int) ((512 - size % 512) % 512)]);
        }

        static byte[] octal(long value, int digits) {
            return String.format("%0" + digits + "o", value).getBytes(StandardCharsets.US_ASCII);
        }

        static void put(byte[] header, int offset, int length, byte[] value) {
            System.arraycopy(value, 0, header, offset, Math.min(length, value.length));
        }

        /** The names of the entries of a tar stream. */
        static Set<String> entryNames(InputStream in) throws IOException {
            final Set<String> names = new LinkedHashSet<>();
            String longName = null;
            while (true) {
                final byte[] header = in.readNBytes(512);
                if (header.length < 512 || header[0] == 0) {
                    return names;
                }
                final String headerName = text(header, 0, 100);
                final long size = Long.parseLong(text(header, 124, 12).trim().isEmpty() ? "0" : text(header, 124, 12).trim(), 8);
                final byte[] data = in.readNBytes((int) ((size + 511) / 512 * 512));
                if (header[156] == 'L') {
                    longName = new String(data, 0, (int) size, StandardCharsets.UTF_8).replace("\0", "");
                    continue;
                }
                names.add(longName != null ? longName : headerName);
                longName = null;
            }
        }

        static String text(byte[] header, int offset, int length) {
            int end = offset;
            while (end < offset + length && header[end] != 0) {
                ++end;
            }
            return new String(header, offset, end - offset, StandardCharsets.UTF_8);
        }
    }
}
