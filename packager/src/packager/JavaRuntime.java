package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.lang.module.ModuleDescriptor;
import java.lang.module.ModuleFinder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Optional;
import java.util.Set;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;
import java.util.zip.ZipOutputStream;

/** The folder's jre: a copy of a given runtime, or one linked to measure for the modules the jars use. */
final class JavaRuntime {
    private JavaRuntime() {
    }

    static void make(Plan plan, Path staging) throws IOException, Stop {
        final Path jre = staging.resolve("jre");
        if (plan.runtimeImage != null) {
            FileTrees.copyTree(plan.runtimeImage, jre);
        } else {
            link(plan, jre, staging);
        }
    }

    /** What jlink is given beyond the modules and the output, unless --jlink-options says otherwise. */
    static final List<String> DEFAULT_JLINK_OPTIONS = List.of("--strip-debug", "--no-header-files", "--no-man-pages");

    /**
     * The JDK's service providers, which a program reaches through java.base's API and so jdeps never names:
     * elliptic-curve cryptography (TLS with an EC certificate), the extended character sets and the zip file
     * system. Together about 2.3 MB of a runtime; the locale data (about 22 MB) comes only with LOCALE_DATA.
     */
    private static final List<String> SMALL_PROVIDERS = List.of("jdk.crypto.ec", "jdk.charsets", "jdk.zipfs");
    private static final String LOCALE_DATA = "jdk.localedata";
    /**
     * Names in a class file that show it formats or parses text for a locale, which needs the locale data for
     * any locale but English: java.text, java.time.format, Formatter (String.format, printf), Locale, Calendar,
     * Scanner, Currency.
     */
    private static final List<byte[]> LOCALE_SENSITIVE = Stream.of("java/text/", "java/time/format/",
            "java/util/Formatter", "java/util/Locale", "java/util/Calendar", "java/util/Scanner", "java/util/Currency",
            "[Ljava/lang/Object;)Ljava/lang/String;", "[Ljava/lang/Object;)Ljava/io/PrintStream;")
            .map(text -> text.getBytes(StandardCharsets.UTF_8)).toList();

    /** The runtime, made with jlink for the modules the jars need. */
    private static void link(Plan plan, Path jre, Path staging) throws Stop {
        final List<Path> jars;
        try (Stream<Path> files = Files.walk(staging)) {
            jars = files.filter(ClassPath::isJar).sorted().collect(Collectors.toList());
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.failed("cannot list the jars in " + Text.quote(plan.input) + ": " + Text.describe(unreadable));
        }
        final Set<String> modules = new LinkedHashSet<>();
        if (!jars.isEmpty()) {
            modules.addAll(modulesTheJarsUse(jars, plan.runtimeFeature, staging));
        }
        if (plan.mainModule != null) {
            modules.add(plan.mainModule);
        }
        modules.addAll(plan.options.addModules);
        modules.addAll(modulesAddedAtRunTime(plan.options.javaOptions));
        if (plan.javaOptions().stream().anyMatch(option -> option.startsWith("-splash:"))) {
            modules.add("java.desktop");  // the splash library
        }
        modules.add("java.base");
        SMALL_PROVIDERS.stream().filter(m -> isAvailable(plan, m)).forEach(modules::add);
        if (isAvailable(plan, LOCALE_DATA) && usesLocales(jars, plan.mainModule == null ? List.of()
                : plan.options.modulePath)) {
            modules.add(LOCALE_DATA);
        }
        final List<String> jlinkArguments = new ArrayList<>(List.of("--add-modules", String.join(",", modules)));
        jlinkArguments.addAll(plan.options.jlinkOptions != null ? plan.options.jlinkOptions : DEFAULT_JLINK_OPTIONS);
        jlinkArguments.addAll(List.of("--output", jre.toString()));
        if (!plan.options.modulePath.isEmpty()) {
            jlinkArguments.addAll(List.of("--module-path", plan.options.modulePath.stream().map(Path::toString)
                    .collect(Collectors.joining(java.io.File.pathSeparator))));
        }
        if (plan.target.isOwn() && !jlinkArguments.contains("--generate-cds-archive")) {
            // Without it the runtime starts markedly slower; only this platform's runtime can make it.
            jlinkArguments.add("--generate-cds-archive");
        }
        JdkTools.run("jlink", jlinkArguments);
    }

    /**
     * The JDK modules the jars use, as jdeps finds them. A modular jar is read as the plain jar it is on the
     * class path: jdeps would read it as a module, and stop at a module it requires that is not there.
     */
    private static List<String> modulesTheJarsUse(List<Path> jars, int feature, Path staging) throws Stop {
        final Path plainCopies = staging.resolve(".jdeps-plain-jars");
        try {
            final List<String> arguments = new ArrayList<>(List.of("--print-module-deps", "--ignore-missing-deps",
                    "--multi-release", Integer.toString(feature)));
            for (final Path jar : jars) {
                arguments.add(withoutModuleInfo(jar, plainCopies).toString());
            }
            // jdeps warns on the same output (of a package split between a jar and the JDK, say).
            return JdkTools.run("jdeps", arguments).lines().filter(line -> !line.startsWith("Warning:"))
                    .flatMap(line -> Arrays.stream(line.split("[,\\s]+"))).filter(m -> !m.isEmpty()).toList();
        } catch (IOException unreadable) {
            throw Stop.failed("cannot read the jars for jdeps: " + Text.describe(unreadable));
        } finally {
            FileTrees.deleteQuietly(plainCopies);
        }
    }

    /** The jar itself (also when it cannot be read), or, if it is a modular jar, a copy without its module descriptors. */
    private static Path withoutModuleInfo(Path jar, Path copies) throws IOException {
        final ZipFile zip;
        try {
            zip = new ZipFile(jar.toFile());
        } catch (IOException notAZip) {
            return jar;  // jdeps says what is wrong with it
        }
        try (zip) {
            if (zip.stream().noneMatch(JavaRuntime::isModuleInfo)) {
                return jar;
            }
            final Path copy = Files.createTempFile(Files.createDirectories(copies), "plain-", ".jar");
            try (ZipOutputStream out = new ZipOutputStream(Files.newOutputStream(copy))) {
                for (final ZipEntry entry : java.util.Collections.list(zip.entries())) {
                    if (!isModuleInfo(entry)) {
                        out.putNextEntry(new ZipEntry(entry.getName()));
                        try (InputStream in = zip.getInputStream(entry)) {
                            in.transferTo(out);
                        }
                        out.closeEntry();
                    }
                }
            }
            return copy;
        }
    }

    private static boolean isModuleInfo(ZipEntry entry) {
        return entry.getName().equals("module-info.class") || entry.getName().matches("META-INF/versions/\\d+/module-info\\.class");
    }

    /** The modules --java-options adds ("--add-modules A,B" or "--add-modules=A,B"), which must be in the runtime. */
    private static List<String> modulesAddedAtRunTime(List<String> javaOptions) {
        final List<String> modules = new ArrayList<>();
        for (int i = 0; i < javaOptions.size(); ++i) {
            final String option = javaOptions.get(i);
            final String list = option.equals("--add-modules") && i + 1 < javaOptions.size() ? javaOptions.get(++i)
                    : option.startsWith("--add-modules=") ? option.substring("--add-modules=".length()) : null;
            if (list != null) {
                Arrays.stream(list.split(",")).map(String::trim)
                        .filter(m -> !m.isEmpty() && !m.startsWith("ALL-")).forEach(modules::add);
            }
        }
        return modules;
    }

    /** Whether the modules linked from have the module: the jmods folder given, or this JDK's own. */
    private static boolean isAvailable(Plan plan, String module) {
        return plan.jmods != null ? Files.isRegularFile(plan.jmods.resolve(module + ".jmod"))
                : ModuleFinder.ofSystem().find(module).isPresent();
    }

    /** Whether a class of the jars, or of the modular jars in the folders, uses locale-sensitive API. */
    private static boolean usesLocales(List<Path> jars, List<Path> moduleFolders) {
        final List<Path> all = new ArrayList<>(jars);
        for (final Path folder : moduleFolders) {
            try (Stream<Path> files = Files.list(folder)) {
                files.filter(ClassPath::isJar).sorted().forEach(all::add);
            } catch (IOException | UncheckedIOException unreadable) {
                return true;  // when in doubt, the program gets the locale data
            }
        }
        for (final Path jar : all) {
            try (ZipFile zip = new ZipFile(jar.toFile())) {
                for (final ZipEntry entry : java.util.Collections.list(zip.entries())) {
                    if (entry.getName().endsWith(".class")) {
                        try (InputStream in = zip.getInputStream(entry)) {
                            final byte[] bytes = in.readAllBytes();
                            if (LOCALE_SENSITIVE.stream().anyMatch(name -> contains(bytes, name))) {
                                return true;
                            }
                        }
                    }
                }
            } catch (IOException | RuntimeException unreadable) {
                return true;
            }
        }
        return false;
    }

    private static boolean contains(byte[] bytes, byte[] part) {
        outer:
        for (int i = 0; i + part.length <= bytes.length; ++i) {
            for (int k = 0; k < part.length; ++k) {
                if (bytes[i + k] != part[k]) {
                    continue outer;
                }
            }
            return true;
        }
        return false;
    }

    /** The modules a runtime's release file lists (MODULES="java.base java.logging ..."). */
    static List<String> releaseModules(Path runtime) {
        try (Stream<String> lines = Files.lines(runtime.resolve("release"), StandardCharsets.UTF_8)) {
            return lines.filter(line -> line.startsWith("MODULES=")).findFirst()
                    .map(line -> List.of(line.substring(8).replace("\"", "").trim().split("\\s+"))).orElse(List.of());
        } catch (IOException | UncheckedIOException noReleaseFile) {
            return List.of();
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

    /** The platform whose native library java.base.jmod holds ("linux", "windows", "macOS"), or null. */
    static String jmodPlatform(Path jmod) {
        try (ZipFile zip = new ZipFile(jmod.toFile())) {
            return zip.getEntry("lib/libjava.so") != null ? Target.LINUX.name
                    : zip.getEntry("bin/java.dll") != null ? Target.WINDOWS.name
                    : zip.getEntry("lib/libjava.dylib") != null ? "macOS" : null;
        } catch (IOException | RuntimeException unreadable) {
            return null;
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
}
