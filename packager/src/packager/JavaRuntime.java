package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.lang.module.ModuleDescriptor;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Locale;
import java.util.Optional;
import java.util.Set;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

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

    /** The runtime, made with jlink for the modules the jars need. */
    private static void link(Plan plan, Path jre, Path staging) throws Stop {
        final List<Path> jars;
        try (Stream<Path> files = Files.walk(staging)) {
            jars = files.filter(f -> f.toString().toLowerCase(Locale.ROOT).endsWith(".jar") && Files.isRegularFile(f))
                    .sorted().collect(Collectors.toList());
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.failed("cannot list the jars in " + plan.input + ": " + Text.describe(unreadable));
        }
        final List<String> jdepsArguments = new ArrayList<>(List.of("--print-module-deps", "--ignore-missing-deps",
                "--multi-release", Integer.toString(plan.runtimeFeature)));
        jars.forEach(jar -> jdepsArguments.add(jar.toString()));
        final String found = JdkTools.run("jdeps", jdepsArguments).trim();
        final Set<String> modules = new LinkedHashSet<>();
        Arrays.stream(found.split("[,\\s]+")).filter(m -> !m.isEmpty()).forEach(modules::add);
        modules.addAll(plan.options.addModules);
        if (modules.isEmpty()) {
            modules.add("java.base");
        }
        final List<String> jlinkArguments = new ArrayList<>(List.of("--add-modules", String.join(",", modules),
                "--strip-debug", "--no-header-files", "--no-man-pages", "--output", jre.toString()));
        if (plan.options.modulePath != null) {
            jlinkArguments.addAll(List.of("--module-path", plan.options.modulePath.toString()));
        }
        if (plan.target.isOwn()) {
            // Without it the runtime starts markedly slower; only this platform's runtime can make it.
            jlinkArguments.add("--generate-cds-archive");
        }
        JdkTools.run("jlink", jlinkArguments);
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
