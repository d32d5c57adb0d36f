package packager;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.net.URI;
import java.nio.file.FileSystemNotFoundException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.stream.Stream;

/**
 * The program's class path beyond its main jar: the jars of --input that the main jar's manifest does not
 * reach, as jpackage puts them on it, and the jars the manifests name outside --input, which are copied into
 * the folder so that it never depends on the build machine's files.
 */
final class ClassPath {
    /** The folder, inside the application folder, that the jars from outside --input are copied into. */
    static final String EXTERNAL_FOLDER = "external-jars";

    /** Class path entries after the main jar, relative to the application folder, "/"-separated. */
    final List<String> entries = new ArrayList<>();
    /** Each jar from outside --input: its name in EXTERNAL_FOLDER and the jar whose manifest names it. */
    final Map<Path, ExternalJar> externalJars = new LinkedHashMap<>();

    record ExternalJar(String name, String namedBy) {
    }

    private ClassPath() {
    }

    /** The class path of a program whose main jar is `mainJar` (null for a main module) in `input` (or null). */
    static ClassPath of(Path input, Path mainJar) throws Stop {
        final ClassPath classPath = new ClassPath();
        if (input == null) {
            return classPath;
        }
        final Set<Path> reached = new HashSet<>();
        if (mainJar != null) {
            classPath.followManifests(input, mainJar, reached);
        }
        try (Stream<Path> files = Files.walk(input)) {
            for (final Path jar : (Iterable<Path>) files.sorted()::iterator) {
                if (isJar(jar) && !jar.equals(mainJar) && !reached.contains(jar)) {
                    classPath.entries.add(relative(input, jar));
                }
            }
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.refused("cannot list the jars in --input " + Text.quote(input) + ": " + Text.describe(unreadable));
        }
        classPath.externalJars.values().forEach(jar -> classPath.entries.add(EXTERNAL_FOLDER + "/" + jar.name()));
        return classPath;
    }

    /** Every jar the manifests reach from `start`, as java follows Class-Path; those outside `input` are noted. */
    private void followManifests(Path input, Path start, Set<Path> reached) throws Stop {
        final Deque<Path> toRead = new ArrayDeque<>(List.of(start));
        final Set<String> takenNames = new HashSet<>();
        while (!toRead.isEmpty()) {
            final Path jar = toRead.pop();
            for (final Path named : manifestClassPath(jar)) {
                if (!reached.add(named) || !Files.exists(named)) {
                    continue;  // java skips what does not exist; so does the folder
                }
                if (named.startsWith(input)) {
                    toRead.push(named);
                } else if (Files.isRegularFile(named)) {
                    final String name = freeName(named.getFileName().toString(), takenNames);
                    externalJars.put(named, new ExternalJar(name, jar.getFileName().toString()));
                    toRead.push(named);
                } else {
                    System.out.println("warning: the manifest of " + jar.getFileName() + " names " + Text.quote(named)
                            + ", a folder outside --input, which is not copied");
                }
            }
        }
    }

    /** The paths a jar's manifest Class-Path names: URLs relative to the jar's folder, separated by spaces. */
    private static List<Path> manifestClassPath(Path jar) {
        final List<Path> paths = new ArrayList<>();
        try (JarFile file = new JarFile(jar.toFile())) {
            final Attributes attributes = file.getManifest() == null ? null : file.getManifest().getMainAttributes();
            final String value = attributes == null ? null : attributes.getValue(Attributes.Name.CLASS_PATH);
            if (value == null) {
                return paths;
            }
            final URI base = jar.getParent().toUri();
            for (final String entry : value.trim().split("\\s+")) {
                try {
                    final URI uri = base.resolve(entry);
                    if ("file".equals(uri.getScheme())) {
                        paths.add(Path.of(uri).normalize());
                    }
                } catch (IllegalArgumentException | FileSystemNotFoundException notAFileUrl) {
                    // java ignores an entry it cannot read as a URL; so does the folder
                }
            }
        } catch (IOException notAJar) {
            // not a jar java could read a manifest from: it reaches nothing
        }
        return paths;
    }

    private static String freeName(String name, Set<String> taken) {
        String candidate = name;
        for (int n = 2; !taken.add(candidate.toLowerCase(Locale.ROOT)); ++n) {
            candidate = name.replaceFirst("(?i)(\\.jar)?$", "-" + n + "$1");
        }
        return candidate;
    }

    static boolean isJar(Path file) {
        return file.getFileName() != null && file.getFileName().toString().toLowerCase(Locale.ROOT).endsWith(".jar")
                && Files.isRegularFile(file);
    }

    private static String relative(Path input, Path file) {
        return input.relativize(file).toString().replace('\\', '/');
    }
}
