package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.jar.Attributes;
import java.util.jar.JarOutputStream;
import java.util.jar.Manifest;
import java.util.zip.ZipEntry;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The class path the folder gets from the jars' manifests. In a row, a jar is "PATH: CLASS-PATH", a signed one
 * "PATH (signed): CLASS-PATH", OUT standing for a folder outside --input; jars of the same PATH's file name have
 * the same bytes. app.jar is the main jar.
 */
class ClassPathManifestTest {
    static Stream<Arguments> manifests() {
        return Stream.of(
                Arguments.of("a jar in --input named relative to the main jar stays as it is",
                        List.of("app.jar: lib/a.jar", "lib/a.jar: "), "{}", "[]"),
                Arguments.of("the main jar names an absolute jar: its copy is named instead",
                        List.of("app.jar: OUT/o.jar", "OUT/o.jar: "), "{app.jar=[external-jars/o.jar]}",
                        "[external-jars/o.jar]"),
                Arguments.of("a jar the main jar does not reach names one outside --input, as java reads it",
                        List.of("app.jar: ", "lib/plugin.jar: OUT/o.jar", "OUT/o.jar: "),
                        "{lib/plugin.jar=[../external-jars/o.jar]}", "[lib/plugin.jar, external-jars/o.jar]"),
                Arguments.of("a copy's own manifest is followed, and names the copy under its new name",
                        List.of("app.jar: OUT/o.jar OUT/x/o.jar", "OUT/o.jar: x/o.jar", "OUT/x/o.jar: "),
                        "{app.jar=[external-jars/o.jar, external-jars/o-2.jar], external-jars/o.jar=[o-2.jar]}",
                        "[external-jars/o.jar, external-jars/o-2.jar]"),
                Arguments.of("a copy named like a Windows device is renamed, as Windows makes no such file",
                        List.of("app.jar: OUT/con.jar", "OUT/con.jar: "), "{app.jar=[external-jars/con-2.jar]}",
                        "[external-jars/con-2.jar]"),
                Arguments.of("the same bytes as a jar in --input: that jar, not a copy, and listed once",
                        List.of("app.jar: OUT/o.jar", "lib/o.jar: ", "OUT/o.jar: "), "{app.jar=[lib/o.jar]}", "[]"),
                Arguments.of("an absolute jar that is not there is dropped: a machine that has it must not load it",
                        List.of("app.jar: OUT/gone.jar lib/absent.jar"), "{app.jar=[lib/absent.jar]}", "[]"),
                Arguments.of("a signed jar keeps its manifest; the copies it names come ahead of it",
                        List.of("app.jar: lib/s.jar", "lib/s.jar (signed): OUT/o.jar", "OUT/o.jar: "),
                        "{app.jar=[external-jars/o.jar, lib/s.jar]}", "[external-jars/o.jar]"),
                Arguments.of("a signed jar on the class path comes after the copies it names",
                        List.of("app.jar: ", "lib/s.jar (signed): OUT/o.jar", "OUT/o.jar: "), "{}",
                        "[external-jars/o.jar, lib/s.jar]"),
                Arguments.of("an entry is a URL relative to the jar's folder (%20 a space), entries apart at any space",
                        List.of("app.jar:  lib/my%20x.jar\tlib/y.jar  ", "lib/my x.jar: ", "lib/y.jar: ", "lib/z.jar: "),
                        "{}", "[lib/z.jar]"),
                Arguments.of("an entry that is no file URL is left out, as java leaves it out",
                        List.of("app.jar: http://example.com/x.jar lib/y.jar", "lib/y.jar: ", "x.jar: "), "{}",
                        "[x.jar]"),
                Arguments.of("a folder on the Class-Path holds classes, not the jars in it",
                        List.of("app.jar: lib/", "lib/z.jar: "), "{}", "[lib/z.jar]"),
                Arguments.of("a Class-Path longer than a manifest line is read whole",
                        List.of("app.jar: lib/" + "a-rather-long-library-name-".repeat(4) + ".jar lib/z.jar",
                                "lib/" + "a-rather-long-library-name-".repeat(4) + ".jar: ", "lib/z.jar: ", "w.jar: "),
                        "{}", "[w.jar]"),
                Arguments.of("a jar's name ends in .jar in any letter case, as java takes it",
                        List.of("app.jar: ", "lib/UPPER.JAR: ", "lib/b.Jar: "), "{}", "[lib/UPPER.JAR, lib/b.Jar]"));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("manifests")
    void followsTheManifestsAsJavaDoes(String description, List<String> jars, String rewritten, String entries,
            @TempDir Path root) throws Exception {
        final Path input = root.resolve("input");
        final Path outside = root.resolve("outside");
        for (final String jar : jars) {
            final String[] parts = jar.split(": ?", 2);
            final boolean signed = parts[0].endsWith(" (signed)");
            final String path = parts[0].replace(" (signed)", "");
            makeJar(path.startsWith("OUT/") ? outside.resolve(path.substring(4)) : input.resolve(path),
                    parts[1].replace("OUT", outside.toString()), signed);
        }
        final ClassPath classPath = ClassPath.of(input, input.resolve("app.jar"));
        assertEquals(rewritten, new TreeMap<>(classPath.rewrittenManifests).toString().replace(outside.toString(), "OUT"));
        assertEquals(entries, classPath.entries.toString());
    }

    @ParameterizedTest
    @CsvSource({"'', external-jars/a.jar, external-jars/a.jar", "lib, external-jars/a b.jar, ../external-jars/a%20b.jar",
            "lib/x, lib/y.jar, ../y.jar", "lib, lib/y.jar, y.jar", "external-jars, external-jars/o-2.jar, o-2.jar"})
    void namesAJarRelativeToTheFolderOfTheJarThatNamesIt(String from, String target, String url) {
        assertEquals(url, ClassPath.relativeUrl(from, target));
    }

    @Test
    void aRewrittenManifestKeepsEverythingButTheClassPath(@TempDir Path root) throws IOException {
        final Path jar = root.resolve("a.jar");
        makeJar(jar, "/elsewhere/o.jar", false);
        JarManifest.rewriteClassPath(jar, List.of("external-jars/o.jar"));
        try (java.util.jar.JarFile file = new java.util.jar.JarFile(jar.toFile())) {
            final Attributes main = file.getManifest().getMainAttributes();
            assertEquals(Map.of("Manifest-Version", "1.0", "Class-Path", "external-jars/o.jar", "Main-Class", "a.Main"),
                    Map.of("Manifest-Version", main.getValue("Manifest-Version"), "Class-Path",
                            main.getValue("Class-Path"), "Main-Class", main.getValue("Main-Class")));
            assertEquals("a.jar", new String(file.getInputStream(file.getEntry("name.txt")).readAllBytes(),
                    StandardCharsets.UTF_8));
        }
    }

    /** A jar whose content is its own file name, with this Class-Path (and a signature file, if signed). */
    private static void makeJar(Path jar, String classPath, boolean signed) throws IOException {
        Files.createDirectories(jar.getParent());
        final Manifest manifest = new Manifest();
        manifest.getMainAttributes().put(Attributes.Name.MANIFEST_VERSION, "1.0");
        manifest.getMainAttributes().put(Attributes.Name.MAIN_CLASS, "a.Main");
        if (!classPath.isEmpty()) {
            manifest.getMainAttributes().put(Attributes.Name.CLASS_PATH, classPath);
        }
        try (OutputStream file = Files.newOutputStream(jar); JarOutputStream out = new JarOutputStream(file, manifest)) {
            out.putNextEntry(new ZipEntry("name.txt"));
            out.write(jar.getFileName().toString().getBytes(StandardCharsets.UTF_8));
            if (signed) {
                out.putNextEntry(new ZipEntry("META-INF/KEY.SF"));  // what marks a jar signed; jarsigner in the e2e test
                out.write("Signature-Version: 1.0\r\n\r\n".getBytes(StandardCharsets.UTF_8));
            }
        }
    }
}
