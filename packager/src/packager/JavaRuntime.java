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
import java.util.HashSet;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.Set;
import java.util.TreeMap;
import java.util.TreeSet;
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

    static final String ALL_DEFAULT = "ALL-DEFAULT";
    static final String ALL_SYSTEM = "ALL-SYSTEM";

    /** What jlink is given beyond the modules and the output, unless --jlink-options says otherwise. */
    static final List<String> DEFAULT_JLINK_OPTIONS = List.of("--strip-debug", "--no-header-files", "--no-man-pages");

    /**
     * The JDK's service providers, which a program reaches through java.base's API and so jdeps never names:
     * elliptic-curve cryptography (TLS with an EC certificate), the extended character sets and the zip file
     * system. Together about 2.3 MB of a runtime; the locale data (about 22 MB) comes only when ModuleScan finds a use.
     */
    private static final List<String> SMALL_PROVIDERS = List.of("jdk.crypto.ec", "jdk.charsets", "jdk.zipfs");
    /** The runtime, made with jlink for the modules the jars need. */
    private static void link(Plan plan, Path jre, Path staging) throws Stop {
        final List<Path> jars;
        try (Stream<Path> files = Files.walk(staging)) {
            jars = files.filter(ClassPath::isJar).sorted().collect(Collectors.toList());
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.failed("cannot list the jars in " + Text.quote(plan.input) + ": " + Text.describe(unreadable));
        }
        for (final Path jar : List.copyOf(jars)) {
            if (!isZip(jar)) {
                // java skips it on the class path; jdeps would stop at it.
                jars.remove(jar);
                System.err.println("warning: " + Text.quote(staging.relativize(jar)) + " is not a jar (not a zip file); "
                        + "it is copied as it is, and no modules are linked for it");
            }
        }
        final Set<String> modules = new LinkedHashSet<>();
        if (!jars.isEmpty()) {
            modules.addAll(modulesTheJarsUse(jars, plan.runtimeFeature, staging));
        }
        if (plan.mainModule != null) {
            modules.add(plan.mainModule);
        }
        final Map<String, ModuleDescriptor> available = availableModules(plan);
        final boolean wholeSets = plan.options.addModules.contains(ALL_DEFAULT)
                || plan.options.addModules.contains(ALL_SYSTEM);
        for (final String module : plan.options.addModules) {
            switch (module) {
                case ALL_DEFAULT -> modules.addAll(defaultModules(available));
                case ALL_SYSTEM -> modules.addAll(new TreeSet<>(available.keySet()));
                default -> modules.add(module);
            }
        }
        modules.addAll(modulesAddedAtRunTime(plan.options.javaOptions));
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            // Every launcher runs on this one runtime.
            if (launcher.module != null) {
                modules.add(launcher.module);
            }
            if (launcher.javaOptions != null) {
                modules.addAll(modulesAddedAtRunTime(launcher.javaOptions));
            }
        }
        if (plan.javaOptions().stream().anyMatch(option -> option.startsWith("-splash:"))) {
            modules.add("java.desktop");  // the splash library
        }
        modules.add("java.base");
        SMALL_PROVIDERS.stream().filter(available::containsKey).forEach(modules::add);
        final boolean anyModule = plan.mainModule != null
                || plan.extraLaunchers.stream().anyMatch(launcher -> launcher.module != null);
        final ModuleScan.Result scan = ModuleScan.scan(jarsToScan(jars, anyModule ? plan.options.modulePath : List.of()));
        scan.modules().stream().filter(available::containsKey).forEach(modules::add);
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
        if (!scan.loadersByName().isEmpty() && !wholeSets) {
            final List<String> linked = releaseModules(jre);
            final List<String> leftOut = defaultModules(available).stream().filter(m -> !linked.contains(m)).toList();
            if (!leftOut.isEmpty()) {
                System.out.println(byNameNote(scan.loadersByName(), leftOut));
            }
        }
    }

    /** The width of the note's lines, as a terminal shows them whole. */
    static final int NOTE_WIDTH = 100;

    /**
     * The note that classes loading classes by built names may need modules left out: what loads them, the modules
     * (a long list for a small runtime, so wrapped, with their count) and the option that adds them.
     */
    static String byNameNote(List<String> loaders, List<String> leftOut) {
        final int others = loaders.size() - 1;
        final String why = "note: " + loaders.get(0) + (others > 0 ? " and " + others
                + " other classes load classes by names they build" : " loads classes by names it builds")
                + " (a language runtime or plugin loader, say), which may need modules of the JDK that jpackage "
                + "links and this runtime leaves out, " + leftOut.size() + (leftOut.size() == 1 ? " module:" : " modules:");
        return Text.wrap(why, NOTE_WIDTH, "  ") + "\n" + Text.wrap("    " + String.join(", ", leftOut), NOTE_WIDTH, "    ")
                + "\n" + Text.wrap("  --add-modules ALL-DEFAULT links them all, or name those the program needs with "
                + "--add-modules", NOTE_WIDTH, "  ");
    }

    /** The jars and, for a main module, the modular jars in the --module-path folders. */
    private static List<Path> jarsToScan(List<Path> jars, List<Path> moduleFolders) {
        final List<Path> all = new ArrayList<>(jars);
        for (final Path folder : moduleFolders) {
            try (Stream<Path> files = Files.list(folder)) {
                files.filter(ClassPath::isJar).sorted().forEach(all::add);
            } catch (IOException | UncheckedIOException unreadable) {
                all.add(folder);  // not a jar: the scan takes it to need the locale data, as when in doubt
            }
        }
        return all;
    }

    /** The modules linked from, by name: those of the jmods folder given, or this JDK's own. */
    private static Map<String, ModuleDescriptor> availableModules(Plan plan) throws Stop {
        final Map<String, ModuleDescriptor> modules = new TreeMap<>();
        if (plan.jmods == null) {
            ModuleFinder.ofSystem().findAll().forEach(module -> modules.put(module.descriptor().name(), module.descriptor()));
            return modules;
        }
        try (Stream<Path> files = Files.list(plan.jmods)) {
            for (final Path jmod : (Iterable<Path>) files.filter(f -> f.toString().endsWith(".jmod")).sorted()::iterator) {
                jmodDescriptor(jmod).ifPresent(descriptor -> modules.put(descriptor.name(), descriptor));
            }
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.failed("cannot list the modules in " + Text.quote(plan.jmods) + ": " + Text.describe(unreadable));
        }
        return modules;
    }

    /**
     * What jpackage links given no --add-modules (--add-modules ALL-DEFAULT): every module that exports an API to
     * all, with the modules they require and the providers of the services they use, as java resolves them.
     */
    static Set<String> defaultModules(Map<String, ModuleDescriptor> available) {
        final Set<String> modules = new TreeSet<>();
        final java.util.Deque<String> toAdd = new java.util.ArrayDeque<>();
        available.values().stream().filter(d -> d.exports().stream().anyMatch(e -> !e.isQualified()))
                .map(ModuleDescriptor::name).forEach(toAdd::add);
        while (!toAdd.isEmpty()) {
            while (!toAdd.isEmpty()) {
                final ModuleDescriptor module = available.get(toAdd.pop());
                if (module != null && modules.add(module.name())) {
                    module.requires().stream().filter(r -> !r.modifiers().contains(ModuleDescriptor.Requires.Modifier.STATIC))
                            .map(ModuleDescriptor.Requires::name).forEach(toAdd::add);
                }
            }
            final Set<String> used = new HashSet<>();
            modules.forEach(name -> used.addAll(available.get(name).uses()));
            available.values().stream().filter(d -> !modules.contains(d.name()))
                    .filter(d -> d.provides().stream().anyMatch(p -> used.contains(p.service())))
                    .map(ModuleDescriptor::name).forEach(toAdd::add);
        }
        return modules;
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

    private static boolean isZip(Path file) {
        try {
            new ZipFile(file.toFile()).close();
            return true;
        } catch (IOException notAZip) {
            return false;
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
