package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.HexFormat;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import java.util.zip.GZIPInputStream;
import javax.xml.parsers.DocumentBuilderFactory;
import javax.xml.parsers.ParserConfigurationException;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.w3c.dom.Document;
import org.xml.sax.SAXException;

/** The Debian package of a small folder, read back member by member: ar, the control files and the data. */
class DebPackageTest {
    private static final int JAR_SIZE = 300_000;

    @TempDir
    Path temp;

    /** A package's members and the files of its two tarballs. */
    record Deb(Map<String, byte[]> members, Map<String, TarTest.Entry> control, Map<String, TarTest.Entry> data) {
        String controlFile() {
            return new String(control.get("./control").data(), StandardCharsets.UTF_8);
        }

        String dataFile(String name) {
            return new String(data.get(name).data(), StandardCharsets.UTF_8);
        }

        /** The control file's fields; a continuation line is left out. */
        Map<String, String> fields() {
            return controlFile().lines().filter(line -> !line.startsWith(" "))
                    .collect(Collectors.toMap(line -> line.substring(0, line.indexOf(':')),
                            line -> line.substring(line.indexOf(':') + 2), (a, b) -> a + "\n" + b, LinkedHashMap::new));
        }
    }

    static Plan plan(String name) {
        final Options options = new Options();
        options.type = "deb";
        options.vendor = "Acme";
        options.linuxDebMaintainer = "dev@acme.example";
        final Plan plan = new Plan(options);
        plan.name = name;
        plan.target = Target.LINUX;
        plan.linuxPackageName = "viewer";
        plan.debArchitecture = "amd64";
        plan.installDir = "/opt/viewer";
        return plan;
    }

    /** Writes the package of a folder of the launcher (a script), a 300,000-byte jar and the packager's marker. */
    Deb write(Plan plan) throws IOException, Stop {
        final Path staging = Files.createDirectories(temp.resolve("staging"));
        Files.writeString(staging.resolve(Plan.MARKER), "");
        Files.setPosixFilePermissions(Files.writeString(staging.resolve(plan.name), "#!/bin/sh\nexit 0\n"),
                PosixFilePermissions.fromString("rwx------"));
        final byte[] jar = new byte[JAR_SIZE];
        new java.util.Random(1).nextBytes(jar);
        Files.setPosixFilePermissions(Files.write(Files.createDirectories(staging.resolve("lib")).resolve("app.jar"), jar),
                PosixFilePermissions.fromString("rw-------"));
        final Path work = Files.createDirectories(temp.resolve("work"));
        final Path deb = temp.resolve("viewer.deb");
        DebPackage.write(plan, staging, work, deb);
        return read(Files.readAllBytes(deb));
    }

    static Deb read(byte[] deb) throws IOException {
        assertEquals("!<arch>\n", new String(deb, 0, 8, StandardCharsets.US_ASCII));
        final Map<String, byte[]> members = new LinkedHashMap<>();
        for (int offset = 8; offset < deb.length; ) {
            final String header = new String(deb, offset, 60, StandardCharsets.US_ASCII);
            assertEquals("`\n", header.substring(58), "an ar header's end");
            final int size = Integer.parseInt(header.substring(48, 58).trim());
            members.put(header.substring(0, 16).trim(), java.util.Arrays.copyOfRange(deb, offset + 60, offset + 60 + size));
            offset += 60 + size + size % 2;
        }
        final Compression data = members.containsKey("data.tar.xz") ? Compression.XZ : Compression.GZIP;
        return new Deb(members, entries(members.get("control.tar.gz"), Compression.GZIP),
                entries(members.get("data.tar" + data.suffix), data));
    }

    private static Map<String, TarTest.Entry> entries(byte[] compressed, Compression compression) throws IOException {
        try (InputStream in = compression.decompressing(new ByteArrayInputStream(compressed))) {
            return TarTest.read(in.readAllBytes()).stream()
                    .collect(Collectors.toMap(TarTest.Entry::name, e -> e, (a, b) -> b, LinkedHashMap::new));
        }
    }

    @Test
    void writesAPackageDpkgReadsWithItsInstalledSizeInKibibytes() throws IOException, Stop, InterruptedException {
        final Plan plan = plan("Viewer");
        final Deb deb = write(plan);

        assertEquals(List.of("debian-binary", "control.tar.gz", "data.tar" + plan.debCompression().suffix),
                List.copyOf(deb.members().keySet()));
        assertEquals("2.0\n", new String(deb.members().get("debian-binary"), StandardCharsets.US_ASCII));
        final long bytes = deb.data().values().stream().filter(e -> e.type() == '0').mapToLong(TarTest.Entry::size).sum();
        assertTrue(bytes > JAR_SIZE);
        final Map<String, String> fields = deb.fields();
        assertEquals(Long.toString((bytes + 1023) / 1024), fields.get("Installed-Size"), "KiB of " + bytes + " bytes");
        assertEquals("viewer", fields.get("Package"));
        assertEquals("1.0", fields.get("Version"));
        assertEquals("misc", fields.get("Section"));
        assertEquals("amd64", fields.get("Architecture"));
        assertEquals("Acme <dev@acme.example>", fields.get("Maintainer"));
        assertFalse(fields.containsKey("Depends"), "a script and a jar depend on no library");

        assertEquals(0755, deb.data().get("./opt/viewer/Viewer").mode());
        assertEquals(0644, deb.data().get("./opt/viewer/lib/app.jar").mode());
        assertEquals(0755, deb.data().get("./opt/viewer/lib/").mode());
        assertFalse(deb.data().containsKey("./opt/viewer/" + Plan.MARKER), "the packager's marker is left out");
        assertTrue(deb.dataFile("./usr/share/lintian/overrides/viewer").contains("viewer: dir-or-file-in-opt *\n"));
        final byte[] changelog = deb.data().get("./usr/share/doc/viewer/changelog.gz").data();
        assertEquals(2, changelog[8], "changelog.gz marked as gzip -9 marks it");
        try (InputStream in = new GZIPInputStream(new ByteArrayInputStream(changelog))) {
            assertTrue(new String(in.readAllBytes(), StandardCharsets.UTF_8).startsWith("viewer (1.0) unstable;"));
        }

        final List<String> sums = new String(deb.control().get("./md5sums").data(), StandardCharsets.UTF_8).lines().toList();
        final List<String> expected = deb.data().values().stream().filter(e -> e.type() == '0')
                .map(e -> md5(e.data()) + "  " + e.name().substring(2)).sorted().toList();
        assertEquals(expected, sums.stream().sorted().toList());

        assertTrue(Files.isExecutable(Path.of("/usr/bin/dpkg-deb")),
                "dpkg-deb is missing: scripts/install-deps.sh installs it");
        final Process dpkg = new ProcessBuilder("/usr/bin/dpkg-deb", "--field", temp.resolve("viewer.deb").toString(),
                "Installed-Size", "Package").redirectErrorStream(true).start();
        final String said = new String(dpkg.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, dpkg.waitFor(), said);
        assertEquals("Installed-Size: " + fields.get("Installed-Size") + "\nPackage: viewer\n", said);
    }

    @Test
    void writesTheReleaseHomePageDependenciesAndLicenceGiven() throws IOException, Stop {
        final Plan plan = plan("Viewer");
        plan.options.appVersion = "1.2.0";
        plan.options.linuxAppRelease = "2";
        plan.options.aboutUrl = "https://example.com/viewer";
        plan.options.linuxPackageDeps.addAll(List.of("xdg-utils", "libnotify4 (>= 0.7) | notify-osd"));
        plan.options.licenseFile = Files.writeString(temp.resolve("COPYING"),
                "\n  Viewer licence  \r\n\r\n\tUse it.\n\n", StandardCharsets.UTF_8);
        final Deb deb = write(plan);

        final Map<String, String> fields = deb.fields();
        assertEquals("1.2.0-2", fields.get("Version"));
        assertTrue(deb.data().containsKey("./usr/share/doc/viewer/changelog.Debian.gz"), "a revision's changelog name");
        assertEquals("https://example.com/viewer", fields.get("Homepage"));
        assertEquals("xdg-utils, libnotify4 (>= 0.7) | notify-osd", fields.get("Depends"));
        assertTrue(deb.dataFile("./usr/share/doc/viewer/copyright").contains("\nLicense: other\n Viewer licence\n .\n"
                + "         Use it.\n .\n Its Java runtime's notices are in /opt/viewer/jre/legal.\n"),
                deb.dataFile("./usr/share/doc/viewer/copyright"));
    }

    private static String md5(byte[] data) {
        try {
            return HexFormat.of().formatHex(MessageDigest.getInstance("MD5").digest(data));
        } catch (NoSuchAlgorithmException absent) {
            throw new AssertionError(absent);
        }
    }

    /** Texts outside ASCII and with the characters control files, XML and shells treat as their own. */
    static Stream<Arguments> texts() {
        return Stream.of(
                Arguments.of("Pr\u00fcfer", "Acme S\u00f6hne & Co", "Pr\u00fcft Pl\u00e4ne \u2014 schnell", "\u00a9 2026 J\u00f6rg"),
                Arguments.of("Plans & Drafts", "O'Brien", "<b>bold</b> \"quoted\" 'single' $HOME `cmd` \\n",
                        "Copyright (C) 2026 <a@b.example>"),
                Arguments.of("\u65e5\u672c", "\u682a\u5f0f\u4f1a\u793e", "\u65e5\u672c\u8a9e\u306e\u8aac\u660e", "\u2117 2026"));
    }

    @ParameterizedTest
    @MethodSource("texts")
    void writesTextsAsGiven(String name, String vendor, String description, String copyright)
            throws IOException, Stop, ParserConfigurationException, SAXException {
        final Plan plan = plan(name);
        plan.options.vendor = vendor;
        plan.options.description = description;
        plan.options.copyright = copyright;
        plan.fileAssociations = List.of(new FileAssociation("plan", "application/x-viewer-plan", description, null));
        final Deb deb = write(plan);

        final Map<String, String> fields = deb.fields();
        assertEquals(description, fields.get("Description"));
        assertEquals(vendor + " <dev@acme.example>", fields.get("Maintainer"));
        assertTrue(deb.controlFile().contains("\n " + name + ", a Java program"), deb.controlFile());
        assertTrue(deb.dataFile("./usr/share/doc/viewer/copyright").contains("\nCopyright: " + copyright + "\n"));
        final byte[] types = deb.data().get("./usr/share/mime/packages/viewer.xml").data();
        final Document document = DocumentBuilderFactory.newInstance().newDocumentBuilder()
                .parse(new ByteArrayInputStream(types));
        assertEquals(description, document.getElementsByTagName("comment").item(0).getTextContent());
        assertEquals("*.plan", document.getElementsByTagName("glob").item(0).getAttributes().getNamedItem("pattern")
                .getNodeValue());
        assertTrue(deb.data().containsKey("./usr/share/applications/viewer.desktop"), "the menu entry of the type");
    }
}
