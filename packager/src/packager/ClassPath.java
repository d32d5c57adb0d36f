package packager;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.net.URI;
import java.net.URISyntaxException;
import java.nio.file.FileSystemNotFoundException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.stream.Stream;

/**
 * The program's class path beyond its main jar: the jars of --input that the main jar's manifest does not
 * reach, as jpackage puts them on it, and the jars the manifests of all of them name outside --input, which are
 * copied into the folder so that it never depends on the build machine's files. The folder's copy of a jar
 * whose manifest names such a jar names the folder's copy instead, so that the folder loads the same classes on
 * a machine that has a jar at that path; a signed jar is left as it is, and the copies it names are put ahead
 * of it on the class path.
 */
final class ClassPath {
    /** The folder, inside the application folder, that the jars from outside --input are copied into. */
    static final String EXTERNAL_FOLDER = "external-jars";

    /** Class path entries after the main jar, relative to the application folder, "/"-separated. */
    final List<String> entries = new ArrayList<>();
    /** Each jar from outside --input: its name in EXTERNAL_FOLDER and the jar whose manifest names it. */
    final Map<Path, ExternalJar> externalJars = new LinkedHashMap<>();
    /** The new Class-Path of each jar in the folder (relative to it) whose manifest names what the folder moves. */
    final Map<String, List<String>> rewrittenManifests = new LinkedHashMap<>();

    record ExternalJar(String name, String namedBy) {
    }

    /** One Class-Path entry as written, and the path java resolves it to on this machine (null: none). */
    record Entry(String text, Path path) {
    }

    private final Path input;
    private final Set<String> takenNames = new HashSet<>();
    /** Each jar read so far (in --input, or outside it), with its manifest's entries. */
    private final Map<Path, List<Entry>> manifests = new LinkedHashMap<>();
    /** For a jar outside --input with the same bytes as one in it: that jar, which is used instead of a copy. */
    private final Map<Path, Path> sameAsInput = new HashMap<>();
    private Map<Long, List<Path>> inputJarsBySize;
    private final Map<Path, Boolean> signed = new HashMap<>();

    private ClassPath(Path input) {
        this.input = input;
    }

    /** The class path of a program whose main jar is `mainJar` (null for a main module) in `input` (or null). */
    static ClassPath of(Path input, Path mainJar) throws Stop {
        final ClassPath classPath = new ClassPath(input);
        if (input == null) {
            return classPath;
        }
        final List<Path> inputJars;
        try (Stream<Path> files = Files.walk(input)) {
            inputJars = files.filter(ClassPath::isJar).sorted().toList();
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.refused("cannot list the jars in --input " + Text.quote(input) + ": " + Text.describe(unreadable));
        }
        final Set<Path> reachedFromMain = new HashSet<>();
        if (mainJar != null) {
            reachedFromMain.addAll(classPath.follow(mainJar, inputJars));
        }
        final List<Path> onClassPath = inputJars.stream()
                .filter(jar -> !jar.equals(mainJar) && !reachedFromMain.contains(jar)).toList();
        for (final Path jar : onClassPath) {
            classPath.follow(jar, inputJars);  // java reads the manifest of every jar on the class path
        }
        classPath.planManifests(mainJar);
        classPath.order(onClassPath);
        return classPath;
    }

    /** Reads the manifests from `start` on, as java follows Class-Path; the jars in --input reached. */
    private Set<Path> follow(Path start, List<Path> inputJars) throws Stop {
        final Set<Path> reached = new HashSet<>();
        final Deque<Path> toRead = new ArrayDeque<>(List.of(start));
        while (!toRead.isEmpty()) {
            final Path jar = toRead.pop();
            if (manifests.containsKey(jar)) {
                continue;
            }
            final List<Entry> named = entriesOf(jar);
            manifests.put(jar, named);
            for (final Entry entry : named) {
                final Path target = folderJar(entry.path(), inputJars);
                if (target != null) {
                    if (target.startsWith(input)) {
                        reached.add(target);
                    } else if (!externalJars.containsKey(target)) {
                        externalJars.put(target, new ExternalJar(freeName(target.getFileName().toString()),
                                jar.getFileName().toString()));
                    }
                    toRead.push(target);
                } else if (entry.path() != null && !entry.path().startsWith(input) && Files.isDirectory(entry.path())) {
                    System.out.println("warning: the manifest of " + jar.getFileName() + " names " + Text.quote(entry.path())
                            + ", a folder outside --input, which is not copied");
                }
            }
        }
        return reached;
    }

    /**
     * The jar a named path stands for in the folder: a jar in --input, the jar of --input with the same bytes as
     * one outside it, or the jar outside it, which is copied; null for what java would skip or is no jar.
     */
    private Path folderJar(Path named, List<Path> inputJars) {
        if (named == null || !Files.isRegularFile(named)) {
            return null;
        }
        if (named.startsWith(input)) {
            return named;
        }
        return sameAsInput.computeIfAbsent(named, outside -> sameBytes(outside, inputJars));
    }

    /** The jar of --input whose bytes are those of `outside`, else `outside` itself. */
    private Path sameBytes(Path outside, List<Path> inputJars) {
        try {
            if (inputJarsBySize == null) {
                inputJarsBySize = new HashMap<>();
                for (final Path jar : inputJars) {
                    inputJarsBySize.computeIfAbsent(Files.size(jar), size -> new ArrayList<>()).add(jar);
                }
            }
            for (final Path candidate : inputJarsBySize.getOrDefault(Files.size(outside), List.of())) {
                if (Files.mismatch(candidate, outside) == -1) {
                    return candidate;
                }
            }
        } catch (IOException unreadable) {
            // compared as different: the jar is copied, and the copy reports what cannot be read
        }
        return outside;
    }

    /** The entries of a jar's manifest; a path where java resolves one to a file: URL, else null. */
    private static List<Entry> entriesOf(Path jar) throws Stop {
        final List<Entry> entries = new ArrayList<>();
        final URI base = jar.toAbsolutePath().getParent().toUri();
        for (final String text : JarManifest.classPath(jar)) {
            Path path = null;
            try {
                final URI uri = base.resolve(text);
                if ("file".equals(uri.getScheme())) {
                    path = Path.of(uri).normalize();
                }
            } catch (java.nio.file.InvalidPathException notAPath) {
                if (Text.namesEncoding().newEncoder().canEncode(base.resolve(text).getPath())) {
                    entries.add(new Entry(text, null));  // a NUL, say: java ignores it, and so does the folder
                    continue;
                }
                // A name this system's encoding cannot carry: java under this locale would not find the jar.
                throw Stop.refused("the manifest of " + Text.quote(jar) + " names " + Text.quote(text) + " in its "
                        + "Class-Path, which is not text in this system's encoding (" + Text.namesEncoding()
                        + "); run the packager under a UTF-8 locale (LC_ALL=C.UTF-8, say)");
            } catch (IllegalArgumentException | FileSystemNotFoundException notAFileUrl) {
                // java ignores an entry it cannot read as a URL; so does the folder
            }
            entries.add(new Entry(text, path));
        }
        return entries;
    }

    /** Where a jar lies in the application folder, "/"-separated. */
    private String folderPath(Path jar) {
        return jar.startsWith(input) ? relative(input, jar) : EXTERNAL_FOLDER + "/" + externalJars.get(jar).name();
    }

    /**
     * For each jar whose manifest, read in the folder, would not reach what it reaches here (an absolute path, a
     * path out of --input, a copy under another name), the Class-Path that does; a signed jar keeps its manifest,
     * and the copies it names go ahead of it in the Class-Path of the jar that names it.
     */
    private void planManifests(Path mainJar) {
        for (final Path jar : manifests.keySet()) {
            final List<String> written = manifests.get(jar).stream().map(Entry::text).toList();
            final List<String> planned = plannedClassPath(jar);
            if (planned.equals(written)) {
                continue;
            }
            if (!isSigned(jar)) {
                rewrittenManifests.put(folderPath(jar), planned);
            } else if (jar.equals(mainJar)) {
                System.out.println("warning: the main jar " + jar.getFileName() + " is signed and its manifest names "
                        + "jars outside --input; the folder holds copies, but on a machine that has a jar at such a "
                        + "path, java loads that one first; put the jars in --input and name them relative to the "
                        + "main jar before signing it");
            }
        }
    }

    /** The Class-Path the folder's copy of `jar` needs, each entry relative to it. */
    private List<String> plannedClassPath(Path jar) {
        final List<String> planned = new ArrayList<>();
        final String folder = parentOf(folderPath(jar));
        for (final Entry entry : manifests.get(jar)) {
            final Path target = entry.path() == null ? null
                    : entry.path().startsWith(input) || !Files.isRegularFile(entry.path()) ? entry.path()
                    : sameAsInput.get(entry.path());
            if (input.equals(target)) {
                planned.add(entry.text());  // --input itself: the application folder, wherever it is named from
                continue;
            }
            if (target == null || (!target.startsWith(input) && !externalJars.containsKey(target))) {
                if (target == null || (Files.isDirectory(target) && !target.startsWith(input))) {
                    planned.add(entry.text());  // what java skips, and a folder outside --input (warned of)
                }
                continue;  // a jar outside --input that is not there: a machine that has it must not load it
            }
            final String targetPath = target.startsWith(input) && !Files.isRegularFile(target)
                    ? relative(input, target) + (entry.text().endsWith("/") ? "/" : "") : folderPath(target);
            if (manifests.containsKey(target) && isSigned(target)) {
                for (final String ahead : copiesNamedBy(target, new HashSet<>())) {
                    planned.add(relativeUrl(folder, ahead));
                }
            }
            planned.add(resolvesTo(folder, entry.text(), targetPath) ? entry.text() : relativeUrl(folder, targetPath));
        }
        return planned.stream().distinct().toList();
    }

    /**
     * The folder paths of the jars a signed jar's manifest names by a path the folder does not hold (absolute, say),
     * and those the signed jars it names name, in order: the jars that must come ahead of it.
     */
    private Set<String> copiesNamedBy(Path signedJar, Set<Path> seen) {
        final Set<String> copies = new LinkedHashSet<>();
        if (!seen.add(signedJar)) {
            return copies;
        }
        final String folder = parentOf(folderPath(signedJar));
        for (final Entry entry : manifests.get(signedJar)) {
            final Path target = entry.path() == null ? null : sameAsInput.getOrDefault(entry.path(), entry.path());
            if (target != null && manifests.containsKey(target)) {
                if (isSigned(target)) {
                    copies.addAll(copiesNamedBy(target, seen));
                }
                if (!resolvesTo(folder, entry.text(), folderPath(target))) {
                    copies.add(folderPath(target));
                }
            }
        }
        return copies;
    }

    private boolean isSigned(Path jar) {
        return signed.computeIfAbsent(jar, JarManifest::isSigned);
    }

    /** The entries after the main jar: the jars of --input, each signed one after the copies it names, then the copies. */
    private void order(List<Path> onClassPath) {
        final Set<String> ordered = new LinkedHashSet<>();
        for (final Path jar : onClassPath) {
            if (isSigned(jar)) {
                ordered.addAll(copiesNamedBy(jar, new HashSet<>()));
            }
            ordered.add(relative(input, jar));
        }
        externalJars.values().forEach(jar -> ordered.add(EXTERNAL_FOLDER + "/" + jar.name()));
        entries.addAll(ordered);
    }

    /** Whether `text`, a URL relative to the folder `from`, names `target` (paths relative to the application folder). */
    private static boolean resolvesTo(String from, String text, String target) {
        try {
            final URI root = new URI("file", null, "/", null);
            final URI base = root.resolve(new URI(null, null, from.isEmpty() ? "" : from + "/", null));
            final URI resolved = base.resolve(text).normalize();
            return "file".equals(resolved.getScheme()) && resolved.getPath().equals("/" + target);
        } catch (URISyntaxException | IllegalArgumentException notAUrl) {
            return false;
        }
    }

    /** `target` as a URL relative to the folder `from` (both relative to the application folder), as Class-Path holds it. */
    static String relativeUrl(String from, String target) {
        final List<String> fromParts = from.isEmpty() ? List.of() : List.of(from.split("/"));
        final List<String> targetParts = List.of(target.split("/"));
        int common = 0;
        while (common < fromParts.size() && common < targetParts.size() - 1
                && fromParts.get(common).equals(targetParts.get(common))) {
            ++common;
        }
        final StringBuilder path = new StringBuilder("../".repeat(fromParts.size() - common));
        path.append(String.join("/", targetParts.subList(common, targetParts.size())));
        try {
            return new URI(null, null, path.toString(), null).getRawPath();
        } catch (URISyntaxException unquotable) {
            return path.toString();
        }
    }

    private static String parentOf(String folderPath) {
        final int slash = folderPath.lastIndexOf('/');
        return slash < 0 ? "" : folderPath.substring(0, slash);
    }

    private String freeName(String name) {
        String candidate = name;
        // A device's name (con.jar) is no file's on Windows, whichever system the folder is for.
        for (int n = 2; WindowsNames.isDevice(candidate) || !takenNames.add(candidate.toLowerCase(Locale.ROOT)); ++n) {
            candidate = name.replaceFirst("(?i)(\\.jar)?$", "-" + n + "$1");
        }
        return candidate;
    }

    /** Writes the planned Class-Path into the folder's copies of the jars. */
    void rewriteManifests(Path folder) throws IOException {
        for (final Map.Entry<String, List<String>> jar : rewrittenManifests.entrySet()) {
            JarManifest.rewriteClassPath(folder.resolve(jar.getKey()), jar.getValue());
        }
    }

    static boolean isJar(Path file) {
        return file.getFileName() != null && file.getFileName().toString().toLowerCase(Locale.ROOT).endsWith(".jar")
                && Files.isRegularFile(file);
    }

    private static String relative(Path input, Path file) {
        return Text.slashed(input.relativize(file));
    }
}
