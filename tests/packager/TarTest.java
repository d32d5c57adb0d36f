package packager;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class TarTest {
    private static final long GIB = 1L << 30;

    /** One entry as a tar reader sees it: GNU long names resolved, the header's checksum verified. */
    record Entry(String name, int mode, long size, long mtime, char type, String linkTarget, byte[] data) {
    }

    /** A tar reader of its own, written from the format (POSIX ustar with GNU's long names and base-256 numbers). */
    static List<Entry> read(byte[] archive) throws IOException {
        final InputStream in = new ByteArrayInputStream(archive);
        final List<Entry> entries = new ArrayList<>();
        String longName = null;
        String longTarget = null;
        while (true) {
            final byte[] header = in.readNBytes(512);
            assertEquals(512, header.length, "the archive ends inside a header");
            if (Arrays.equals(header, new byte[512])) {
                assertArrayEquals(new byte[512], in.readNBytes(512), "a second empty block ends the archive");
                assertEquals(0, in.available(), "nothing follows the end of the archive");
                return entries;
            }
            assertEquals(octal(header, 148, 8), checksum(header), "the header's checksum");
            final long size = number(header, 124, 12);
            final byte[] data = size < 1 << 20 ? in.readNBytes((int) size) : new byte[0];
            in.skipNBytes((512 - size % 512) % 512);
            final char type = (char) header[156];
            if (type == 'L' || type == 'K') {
                assertEquals("././@LongLink", text(header, 0, 100));
                assertEquals(0, data[data.length - 1], "a long name ends with a NUL");
                final String text = new String(data, 0, data.length - 1, StandardCharsets.UTF_8);
                if (type == 'L') {
                    longName = text;
                } else {
                    longTarget = text;
                }
                continue;
            }
            entries.add(new Entry(longName != null ? longName : text(header, 0, 100), (int) octal(header, 100, 8),
                    size, number(header, 136, 12), type, longTarget != null ? longTarget : text(header, 157, 100),
                    data));
            longName = null;
            longTarget = null;
        }
    }

    /** A numeric field: octal digits, or base 256 (a first byte of 0x80, or 0xff for a negative number). */
    static long number(byte[] header, int offset, int length) {
        final int first = header[offset] & 0xff;
        if (first != 0x80 && first != 0xff) {
            return octal(header, offset, length);
        }
        long value = first == 0xff ? -1 : 0;
        for (int i = offset + 1; i < offset + length; ++i) {
            value = (value << 8) | (header[i] & 0xff);
        }
        return value;
    }

    static long octal(byte[] header, int offset, int length) {
        final String digits = text(header, offset, length).trim();
        assertTrue(digits.matches("[0-7]+"), "an octal field holds " + digits);
        return Long.parseLong(digits, 8);
    }

    static long checksum(byte[] header) {
        long sum = 0;
        for (int i = 0; i < 512; ++i) {
            sum += i >= 148 && i < 156 ? ' ' : header[i] & 0xff;
        }
        return sum;
    }

    static String text(byte[] header, int offset, int length) {
        int end = offset;
        while (end < offset + length && header[end] != 0) {
            ++end;
        }
        return new String(header, offset, end - offset, StandardCharsets.UTF_8);
    }

    static byte[] header(String name, int mode, long size, long mtime, char type, String linkTarget) throws IOException {
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        Tar.writeHeader(out, name, mode, size, mtime, type, linkTarget.getBytes(StandardCharsets.UTF_8));
        return out.toByteArray();
    }

    /** Sizes and times past what 11 octal digits hold (8 GiB, before 1970), each read back as written. */
    static Stream<Arguments> numbers() {
        return Stream.of(
                Arguments.of(0L, 0L, false, false),
                Arguments.of(8 * GIB - 1, 1_700_000_000L, false, false),
                Arguments.of(8 * GIB, 1_700_000_000L, true, false),
                Arguments.of(10L << 40, 8 * GIB - 1, true, false),
                Arguments.of(Long.MAX_VALUE, 8 * GIB, true, true),
                Arguments.of(1L, -1L, false, true),
                Arguments.of(1L, -365L * 86_400, false, true),
                Arguments.of(1L, Long.MIN_VALUE, false, true));
    }

    @ParameterizedTest
    @MethodSource("numbers")
    void writesSizesAndTimesPastOctalInBase256(long size, long mtime, boolean sizeIsBase256, boolean mtimeIsBase256)
            throws IOException {
        final byte[] header = header("big", 0644, size, mtime, '0', "");
        assertEquals(512, header.length);
        assertEquals(octal(header, 148, 8), checksum(header));
        assertEquals(sizeIsBase256, (header[124] & 0x80) != 0, "base-256 marker of the size");
        assertEquals(mtimeIsBase256, (header[136] & 0x80) != 0, "base-256 marker of the time");
        assertEquals(size, number(header, 124, 12));
        assertEquals(mtime, number(header, 136, 12));
        assertEquals(size, Tar.readNumber(header, 124, 12));
        assertEquals(mtime, Tar.readNumber(header, 136, 12));
    }

    /** Names and link targets of up to 100 bytes in the header; longer ones in a GNU long-name entry before it. */
    static Stream<Arguments> names() {
        return Stream.of(
                Arguments.of("a/" + "n".repeat(98), "", 0),
                Arguments.of("a/" + "n".repeat(99), "", 1),
                Arguments.of("d/" + "\u00e9".repeat(50), "", 1),  // 52 characters, 102 bytes
                Arguments.of("link", "t".repeat(100), 0),
                Arguments.of("link", "/" + "t".repeat(100), 1),
                Arguments.of("l/" + "n".repeat(150), "/" + "t".repeat(150), 2));
    }

    @ParameterizedTest
    @MethodSource("names")
    void keepsLongNamesWhole(String name, String linkTarget, int longNameEntries) throws IOException {
        final char type = linkTarget.isEmpty() ? '0' : '2';
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        out.writeBytes(header(name, 0644, 0, 0, type, linkTarget));
        out.write(new byte[1024]);
        final byte[] archive = out.toByteArray();
        assertEquals(512 + longNameEntries * 1024 + 1024, archive.length, "its header, long names and the end");
        final Entry entry = read(archive).get(0);
        assertEquals(name, entry.name());
        assertEquals(linkTarget, entry.linkTarget());
        assertEquals(type, entry.type());
        assertEquals(List.of(name), List.copyOf(Tar.entryNames(new ByteArrayInputStream(archive))));
    }

    /** On Linux "\\" is a letter of a file name, and "/" alone stands between names. */
    @Test
    void keepsABackslashInANameAsALetter(@TempDir Path temp) throws IOException {
        Files.createDirectories(temp.resolve("app/lib"));
        Files.writeString(temp.resolve("app/lib/C:\\plans.txt"), "x");
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        Tar.write(out, temp.resolve("app"), "Top");
        assertEquals(List.of("Top/", "Top/lib/", "Top/lib/C:\\plans.txt"),
                List.copyOf(Tar.entryNames(new ByteArrayInputStream(out.toByteArray()))));
    }

    @Test
    void archivesAFolderWithItsModesTimesAndLinks(@TempDir Path temp) throws IOException {
        final Path folder = Files.createDirectories(temp.resolve("app/lib"));
        final Path launcher = Files.writeString(temp.resolve("app/App"), "#!/bin/sh\n");
        Files.setPosixFilePermissions(launcher, PosixFilePermissions.fromString("rwxr-x---"));
        final byte[] jarBytes = new byte[1500];
        Arrays.fill(jarBytes, (byte) 7);
        final Path jar = Files.write(folder.resolve("a.jar"), jarBytes);
        Files.setPosixFilePermissions(jar, PosixFilePermissions.fromString("rw-r--r--"));
        Files.setLastModifiedTime(jar, FileTime.from(-86_400, TimeUnit.SECONDS));
        Files.setPosixFilePermissions(folder, PosixFilePermissions.fromString("rwx--x--x"));
        Files.createSymbolicLink(temp.resolve("app/latest.jar"), Path.of("lib/a.jar"));
        final byte[] block = new byte[512];
        Arrays.fill(block, (byte) 'b');
        Files.write(folder.resolve("block.bin"), block);  // data that ends at a block's end needs no padding
        Files.createFile(folder.resolve("empty.txt"));
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        Tar.write(out, temp.resolve("app"), "Top");

        final List<Entry> entries = read(out.toByteArray());
        assertEquals(List.of("Top/", "Top/App", "Top/latest.jar", "Top/lib/", "Top/lib/a.jar", "Top/lib/block.bin",
                "Top/lib/empty.txt"), entries.stream().map(Entry::name).toList());
        assertArrayEquals(block, entries.get(5).data());
        assertEquals(0, entries.get(6).size());
        final Entry script = entries.get(1);
        assertEquals(0750, script.mode());
        assertEquals('0', script.type());
        assertEquals("#!/bin/sh\n", new String(script.data(), StandardCharsets.UTF_8));
        final Entry link = entries.get(2);
        assertEquals('2', link.type());
        assertEquals("lib/a.jar", link.linkTarget());
        assertEquals(0, link.size());
        final Entry lib = entries.get(3);
        assertEquals('5', lib.type());
        assertEquals(0711, lib.mode());
        final Entry archived = entries.get(4);
        assertEquals(0644, archived.mode());
        assertEquals(-86_400, archived.mtime());
        assertArrayEquals(jarBytes, archived.data());
    }

    /** GNU tar, where there is one, reads the same archive as the reader above does. */
    @Test
    void gnuTarReadsItsTimesBefore1970AndLongNames(@TempDir Path temp) throws IOException, InterruptedException {
        assertTrue(Files.isExecutable(Path.of("/bin/tar")),
                "GNU tar is missing: scripts/install-deps.sh installs it");
        final Path file = Files.writeString(Files.createDirectories(temp.resolve("app/" + "d".repeat(120)))
                .resolve("old.txt"), "x");
        Files.setLastModifiedTime(file, FileTime.from(-86_400, TimeUnit.SECONDS));
        final Path archive = temp.resolve("app.tar");
        try (var out = Files.newOutputStream(archive)) {
            Tar.write(out, temp.resolve("app"), "app");
        }
        final Process tar = new ProcessBuilder("/bin/tar", "--list", "--verbose", "--full-time", "--utc", "-f",
                archive.toString()).redirectErrorStream(true).start();
        final String listing = new String(tar.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, tar.waitFor(), listing);
        assertTrue(listing.contains("1969-12-31 00:00:00 app/" + "d".repeat(120) + "/old.txt"), listing);
    }
}
