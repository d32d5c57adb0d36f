package packager;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.HexFormat;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.stream.Stream;
import java.util.zip.GZIPOutputStream;

/**
 * A Debian package that installs the application folder, written directly (an ar archive of debian-binary,
 * control.tar.gz and data.tar.xz, or data.tar.gz), so that any machine with a JDK can make it: the folder in
 * --install-dir, a menu entry and the document types in /usr/share, and Depends derived from the ELF files' needed
 * libraries.
 */
final class DebPackage {
    /**
     * The Debian 12 packages of the system libraries a launcher and a JDK's runtime link against. A library
     * the runtime ships itself is no dependency; one missing here is named in a warning.
     */
    private static final Map<String, String> PACKAGE_OF_LIBRARY = Map.ofEntries(
            Map.entry("libc.so.6", "libc6"), Map.entry("libm.so.6", "libc6"), Map.entry("libdl.so.2", "libc6"),
            Map.entry("libpthread.so.0", "libc6"), Map.entry("librt.so.1", "libc6"),
            Map.entry("ld-linux-x86-64.so.2", "libc6"), Map.entry("ld-linux-aarch64.so.1", "libc6"),
            Map.entry("libz.so.1", "zlib1g"), Map.entry("libgcc_s.so.1", "libgcc-s1"),
            Map.entry("libstdc++.so.6", "libstdc++6"), Map.entry("libX11.so.6", "libx11-6"),
            Map.entry("libXext.so.6", "libxext6"), Map.entry("libXrender.so.1", "libxrender1"),
            Map.entry("libXtst.so.6", "libxtst6"), Map.entry("libXi.so.6", "libxi6"),
            Map.entry("libfreetype.so.6", "libfreetype6"), Map.entry("libfontconfig.so.1", "libfontconfig1"),
            Map.entry("libasound.so.2", "libasound2"), Map.entry("libjpeg.so.62", "libjpeg62-turbo"),
            Map.entry("liblcms2.so.2", "liblcms2-2"), Map.entry("libpng16.so.16", "libpng16-16"),
            Map.entry("libgif.so.7", "libgif7"), Map.entry("libharfbuzz.so.0", "libharfbuzz0b"));

    private DebPackage() {
    }

    /**
     * Moves the folder in `staging` to its place in the installed files, laid out in `work/files`, and writes
     * the package of them into `partial`.
     */
    static void write(Plan plan, Path staging, Path work, Path partial) throws IOException, Stop {
        final Path root = Files.createDirectory(work.resolve("files"));
        final Path installed = root.resolve(plan.installDir.substring(1));
        Files.createDirectories(installed.getParent());
        Files.move(staging, installed);
        Files.delete(installed.resolve(Plan.MARKER));  // a package replaces its files itself
        LinuxDesktopFiles.write(plan, root);
        final Map<String, String> ourScripts = new java.util.HashMap<>();
        final List<ServiceUnit.Service> services = ServiceUnit.services(plan);
        if (!services.isEmpty()) {
            ServiceUnit.writeUnits(plan, root, "lib/systemd/system");
            ourScripts.put("postinst", ServiceUnit.debianPostinst(plan));
            ourScripts.put("prerm", ServiceUnit.debianPrerm(plan));
            ourScripts.put("postrm", ServiceUnit.debianPostrm(plan));
        }
        // Those of --resource-dir take the place of the packager's, and a preinst of its own is added.
        final Map<String, byte[]> scripts = new java.util.LinkedHashMap<>();
        for (final String script : List.of("preinst", "postinst", "prerm", "postrm")) {
            if (plan.resources.has(script) || ourScripts.containsKey(script)) {
                scripts.put(script, plan.resources.bytes(script, ourScripts.get(script)));
            }
        }
        writeDocumentation(plan, root);
        normalizeModes(root);
        final long installedKilobytes = (FileTrees.size(root) + 1023) / 1024;
        final List<String> depends = dependencies(root);
        depends.addAll(plan.options.linuxPackageDeps);
        final byte[] control = plan.resources.bytes("control", control(plan, depends, installedKilobytes));
        final Path data = work.resolve("data.tar" + plan.debCompression().suffix);
        try (OutputStream dataOut = plan.debCompression().compressing(Files.newOutputStream(data))) {
            Tar.write(dataOut, root, ".");
        }
        FileTrees.writeWhole(partial, file -> {
            try (OutputStream out = Files.newOutputStream(file)) {
                out.write("!<arch>\n".getBytes(StandardCharsets.US_ASCII));
                arMember(out, "debian-binary", "2.0\n".getBytes(StandardCharsets.US_ASCII));
                arMember(out, "control.tar.gz", controlArchive(control, md5sums(root), scripts));
                arMember(out, data.getFileName().toString(), data);
            }
        });
    }

    /**
     * An extra launcher's menu entry: PACKAGE-NAME.desktop, its name made a desktop file id (letters, digits,
     * "-", "_" and ".").
     */
    static String desktopFileName(Plan plan, ExtraLauncher launcher) {
        return plan.linuxPackageName + "-" + launcher.name.replaceAll("[^A-Za-z0-9_.-]+", "_") + ".desktop";
    }

    /**
     * The copyright file and changelog every Debian package has, and the lintian overrides of what such a
     * package is by design: installed in /opt (as --install-dir asks), with the JDK's libraries as the JDK
     * ships them.
     */
    private static void writeDocumentation(Plan plan, Path root) throws IOException {
        final Path doc = Files.createDirectories(root.resolve("usr/share/doc/" + plan.linuxPackageName));
        plan.resources.write(doc.resolve("copyright"), "copyright", "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
                + "Upstream-Name: " + plan.name + "\n\n"
                + "Files: *\n"
                + "Copyright: " + (plan.options.copyright != null ? plan.options.copyright
                        : plan.options.vendor != null ? plan.options.vendor : plan.name) + "\n"
                + "License: other\n"
                + (plan.options.licenseFile != null
                        ? copyrightText(Files.readString(plan.options.licenseFile, StandardCharsets.UTF_8))
                        : " The program's own terms.\n")
                + " .\n Its Java runtime's notices are in " + plan.installDir + "/jre/legal.\n");
        final String changelog = plan.linuxPackageName + " (" + plan.debVersion() + ") unstable; urgency=medium\n\n"
                + "  * " + plan.name + " " + plan.debVersion() + ".\n\n"
                + " -- " + maintainer(plan) + "  " + java.time.format.DateTimeFormatter.RFC_1123_DATE_TIME
                        .format(java.time.ZonedDateTime.now(java.time.ZoneOffset.UTC)).replaceFirst(" GMT$", " +0000")
                + "\n";
        // A version with a Debian revision is a non-native package's, whose changelog Debian names changelog.Debian.
        final String changelogName = plan.debVersion().contains("-") ? "changelog.Debian.gz" : "changelog.gz";
        Files.write(doc.resolve(changelogName), gzipBest(changelog.getBytes(StandardCharsets.UTF_8)));
        final Path overrides = Files.createDirectories(root.resolve("usr/share/lintian/overrides"));
        Files.writeString(overrides.resolve(plan.linuxPackageName), plan.linuxPackageName + ": dir-or-file-in-opt *\n"
                + plan.linuxPackageName + ": unstripped-binary-or-object *\n"
                + plan.linuxPackageName + ": jar-not-in-usr-share *\n", StandardCharsets.UTF_8);
    }

    /**
     * A licence's text as the body of a copyright file's License field: each line after a space, an empty line
     * as " .", trailing spaces and empty lines at either end left out.
     */
    static String copyrightText(String licence) {
        final StringBuilder body = new StringBuilder();
        for (final String line : licence.strip().split("\\R", -1)) {
            final String text = line.stripTrailing().replace("\t", "        ");
            body.append(text.isEmpty() ? " ." : " " + text).append('\n');
        }
        return body.toString();
    }

    /**
     * gzip at the best compression, marked so in its header as gzip -9n marks it (Debian wants that of a
     * changelog; the JDK's GZIPOutputStream marks no level), with no name and no time.
     */
    static byte[] gzipBest(byte[] data) {
        final java.util.zip.Deflater deflater = new java.util.zip.Deflater(java.util.zip.Deflater.BEST_COMPRESSION, true);
        deflater.setInput(data);
        deflater.finish();
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        out.writeBytes(new byte[] {0x1f, (byte) 0x8b, 8, 0, 0, 0, 0, 0, 2, 3});
        final byte[] buffer = new byte[1 << 16];
        while (!deflater.finished()) {
            out.write(buffer, 0, deflater.deflate(buffer));
        }
        deflater.end();
        final java.util.zip.CRC32 crc = new java.util.zip.CRC32();
        crc.update(data);
        final ByteBuffer trailer = ByteBuffer.allocate(8).order(ByteOrder.LITTLE_ENDIAN);
        trailer.putInt((int) crc.getValue()).putInt(data.length);
        out.writeBytes(trailer.array());
        return out.toByteArray();
    }

    /** Folders and executables 0755, other files 0644, as dpkg and rpm install them best. */
    static void normalizeModes(Path root) throws IOException {
        try (Stream<Path> files = Files.walk(root)) {
            for (final Path file : (Iterable<Path>) files::iterator) {
                if (Files.isSymbolicLink(file)) {
                    continue;
                }
                final boolean executable = Files.isDirectory(file) || Files.isExecutable(file);
                final java.nio.file.attribute.PosixFileAttributeView view = Files.getFileAttributeView(file,
                        java.nio.file.attribute.PosixFileAttributeView.class, LinkOption.NOFOLLOW_LINKS);
                if (view != null) {
                    view.setPermissions(java.nio.file.attribute.PosixFilePermissions
                            .fromString(executable ? "rwxr-xr-x" : "rw-r--r--"));
                }
            }
        }
    }

    private static String maintainer(Plan plan) {
        return DebianContact.of(plan.options.vendor != null ? plan.options.vendor : plan.name,
                plan.options.linuxDebMaintainer);
    }

    private static String control(Plan plan, List<String> depends, long installedKilobytes) {
        final String description = plan.options.description != null ? plan.options.description
                : "desktop program with its own Java runtime";
        return "Package: " + plan.linuxPackageName + "\n"
                + "Version: " + plan.debVersion() + "\n"
                + "Section: " + (plan.options.linuxAppCategory != null ? plan.options.linuxAppCategory : "misc") + "\n"
                + "Priority: optional\n"
                + "Architecture: " + plan.debArchitecture + "\n"
                + "Maintainer: " + maintainer(plan) + "\n"
                + "Installed-Size: " + installedKilobytes + "\n"
                + (depends.isEmpty() ? "" : "Depends: " + String.join(", ", depends) + "\n")
                + (plan.options.aboutUrl != null ? "Homepage: " + plan.options.aboutUrl + "\n" : "")
                + "Description: " + description + "\n"
                + wrapped(plan.name + ", a Java program with its own Java runtime, installed in " + plan.installDir
                        + ".");
    }

    /** An extended description: lines of at most 80 characters where the words allow, each after a space. */
    static String wrapped(String text) {
        final StringBuilder lines = new StringBuilder();
        int lineStart = 0;
        for (final String word : text.split(" ")) {
            if (lines.length() > lineStart && lines.length() - lineStart + 1 + word.length() > 80) {
                lines.append('\n');
                lineStart = lines.length();
            }
            lines.append(' ').append(word);
        }
        return lines.append('\n').toString();
    }

    /** The packages of the libraries the ELF files need and the package does not hold. */
    private static List<String> dependencies(Path root) throws IOException {
        final Set<String> needed = new TreeSet<>();
        final Set<String> held = new TreeSet<>();
        try (Stream<Path> files = Files.walk(root)) {
            for (final Path file : (Iterable<Path>) files::iterator) {
                if (Files.isRegularFile(file, LinkOption.NOFOLLOW_LINKS)) {
                    held.add(file.getFileName().toString());
                    needed.addAll(neededLibraries(file));
                }
            }
        }
        needed.removeAll(held);
        final Set<String> packages = new TreeSet<>();
        for (final String library : needed) {
            final String debianPackage = PACKAGE_OF_LIBRARY.get(library);
            if (debianPackage == null) {
                System.out.println("warning: no Debian package is known for " + library + ", which the runtime needs; "
                        + "it is not in Depends");
            } else {
                packages.add(debianPackage);
            }
        }
        return new ArrayList<>(packages);
    }

    /** The DT_NEEDED entries of a 64-bit little-endian ELF file; none for any other file. */
    static List<String> neededLibraries(Path file) throws IOException {
        final List<String> needed = new ArrayList<>();
        final byte[] start;
        try (InputStream in = Files.newInputStream(file)) {
            start = in.readNBytes(5);
        }
        if (start.length < 5 || start[0] != 0x7f || start[1] != 'E' || start[2] != 'L' || start[3] != 'F'
                || start[4] != 2) {
            return needed;
        }
        final ByteBuffer elf = ByteBuffer.wrap(Files.readAllBytes(file)).order(ByteOrder.LITTLE_ENDIAN);
        try {
            final long sectionTable = elf.getLong(0x28);
            final int sectionSize = elf.getShort(0x3A) & 0xffff;
            final int sections = elf.getShort(0x3C) & 0xffff;
            for (int i = 0; i < sections; ++i) {
                final int header = Math.toIntExact(sectionTable + (long) i * sectionSize);
                if (elf.getInt(header + 4) != 6) {  // SHT_DYNAMIC
                    continue;
                }
                final int strings = Math.toIntExact(sectionTable + (long) elf.getInt(header + 40) * sectionSize);
                final long stringsOffset = elf.getLong(strings + 24);
                final long offset = elf.getLong(header + 24);
                final long size = elf.getLong(header + 32);
                for (long entry = offset; entry + 16 <= offset + size; entry += 16) {
                    final long tag = elf.getLong(Math.toIntExact(entry));
                    if (tag == 0) {
                        break;
                    }
                    if (tag == 1) {  // DT_NEEDED
                        needed.add(cString(elf, Math.toIntExact(stringsOffset + elf.getLong(Math.toIntExact(entry + 8)))));
                    }
                }
            }
        } catch (IndexOutOfBoundsException | ArithmeticException damaged) {
            // not an ELF file this reader understands: it needs nothing it can name
        }
        return needed;
    }

    private static String cString(ByteBuffer buffer, int offset) {
        int end = offset;
        while (buffer.get(end) != 0) {
            ++end;
        }
        final byte[] bytes = new byte[end - offset];
        buffer.get(offset, bytes);
        return new String(bytes, StandardCharsets.UTF_8);
    }

    private static String md5sums(Path root) throws IOException {
        final StringBuilder sums = new StringBuilder();
        try (Stream<Path> files = Files.walk(root)) {
            for (final Path file : (Iterable<Path>) files.sorted()::iterator) {
                if (Files.isRegularFile(file, LinkOption.NOFOLLOW_LINKS)) {
                    final MessageDigest md5 = md5();
                    try (InputStream in = Files.newInputStream(file)) {
                        final byte[] buffer = new byte[1 << 16];
                        for (int n; (n = in.read(buffer)) > 0;) {
                            md5.update(buffer, 0, n);
                        }
                    }
                    sums.append(HexFormat.of().formatHex(md5.digest())).append("  ")
                            .append(Text.slashed(root.relativize(file))).append('\n');
                }
            }
        }
        return sums.toString();
    }

    private static MessageDigest md5() {
        try {
            return MessageDigest.getInstance("MD5");
        } catch (NoSuchAlgorithmException absent) {
            throw new IllegalStateException("this JDK has no MD5", absent);
        }
    }

    /** The control file, the data's sums and the maintainer scripts (name to text), executable. */
    private static byte[] controlArchive(byte[] control, String md5sums, Map<String, byte[]> scripts)
            throws IOException {
        final ByteArrayOutputStream archive = new ByteArrayOutputStream();
        try (OutputStream tar = new GZIPOutputStream(archive)) {
            final long now = System.currentTimeMillis() / 1000;
            Tar.writeHeader(tar, "./", 0755, 0, now, '5', new byte[0]);
            final Map<String, byte[]> files = new java.util.LinkedHashMap<>(Map.of("control", control));
            files.put("md5sums", md5sums.getBytes(StandardCharsets.UTF_8));
            files.putAll(scripts);
            for (final var file : files.entrySet()) {
                final byte[] bytes = file.getValue();
                final boolean script = scripts.containsKey(file.getKey());
                Tar.writeHeader(tar, "./" + file.getKey(), script ? 0755 : 0644, bytes.length, now, '0', new byte[0]);
                tar.write(bytes);
                Tar.pad(tar, bytes.length);
            }
            tar.write(new byte[1024]);
        }
        return archive.toByteArray();
    }

    private static void arMember(OutputStream out, String name, byte[] data) throws IOException {
        arMember(out, name, new java.io.ByteArrayInputStream(data), data.length);
    }

    private static void arMember(OutputStream out, String name, Path data) throws IOException {
        try (InputStream in = Files.newInputStream(data)) {
            arMember(out, name, in, Files.size(data));
        }
    }

    /** An ar member: its header, its bytes, and a line feed to an even length. */
    private static void arMember(OutputStream out, String name, InputStream data, long size) throws IOException {
        arHeader(out, name, size);
        data.transferTo(out);
        if (size % 2 != 0) {
            out.write('\n');
        }
    }

    private static void arHeader(OutputStream out, String name, long size) throws IOException {
        final String header = String.format("%-16s%-12d%-6d%-6d%-8s%-10d`\n", name,
                System.currentTimeMillis() / 1000, 0, 0, "100644", size);
        out.write(header.getBytes(StandardCharsets.US_ASCII));
    }
}
