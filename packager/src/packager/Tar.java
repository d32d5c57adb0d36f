package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFilePermission;
import java.util.Arrays;
import java.util.LinkedHashSet;
import java.util.Set;
import java.util.stream.Stream;

/** A POSIX tar archive, file modes kept: the JDK has no writer of its own. */
final class Tar {
    private Tar() {
    }

    static void write(OutputStream out, Path folder, String top) throws IOException {
        try (Stream<Path> files = Files.walk(folder)) {
            for (final Path file : (Iterable<Path>) files.sorted()::iterator) {
                final String entry = top + (file.equals(folder) ? "" : "/"
                        + Text.slashed(folder.relativize(file)));
                final boolean link = Files.isSymbolicLink(file);
                final boolean directory = !link && Files.isDirectory(file);
                final byte[] target = link ? Files.readSymbolicLink(file).toString().getBytes(StandardCharsets.UTF_8)
                        : new byte[0];
                final long size = link || directory ? 0 : Files.size(file);
                writeHeader(out, directory ? entry + "/" : entry, mode(file, directory), size,
                        Files.getLastModifiedTime(file, LinkOption.NOFOLLOW_LINKS).toMillis() / 1000,
                        link ? '2' : directory ? '5' : '0', target);
                if (!link && !directory) {
                    copy(file, out);
                    pad(out, size);
                }
            }
        }
        out.write(new byte[1024]);  // two empty blocks end the archive
    }

    /** A file's bytes, in chunks: Ctrl-C stops the work between two, not only once a runtime's modules are compressed. */
    private static void copy(Path file, OutputStream out) throws IOException {
        try (InputStream in = Files.newInputStream(file)) {
            final byte[] chunk = new byte[1 << 20];
            for (int read; (read = in.read(chunk)) > 0;) {
                out.write(chunk, 0, read);
                Interruption.checkpoint();
            }
        }
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
        put(header, 124, 12, number(size, 11));
        put(header, 136, 12, number(mtime, 11));
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

    /**
     * A numeric field: octal where the value fits, else (8 GiB or more, a time before 1970) the GNU base-256
     * form, which GNU tar, bsdtar and Python read: the first byte's top bit set, then the value big-endian.
     */
    static byte[] number(long value, int digits) {
        if (value >= 0 && value < 1L << (3 * digits)) {
            return octal(value, digits);
        }
        final byte[] field = new byte[digits + 1];
        long rest = value;
        for (int i = field.length - 1; i > 0; --i) {
            field[i] = (byte) rest;
            rest >>= 8;
        }
        field[0] = (byte) (value < 0 ? 0xff : 0x80);
        return field;
    }

    /** A numeric field as written above, or 0 where it holds no number. */
    static long readNumber(byte[] header, int offset, int length) {
        if ((header[offset] & 0x80) != 0) {
            long value = header[offset] == (byte) 0xff ? -1 : 0;
            for (int i = offset + 1; i < offset + length; ++i) {
                value = value << 8 | (header[i] & 0xff);
            }
            return value;
        }
        final String digits = text(header, offset, length).trim();
        return digits.matches("[0-7]+") ? Long.parseLong(digits, 8) : 0;
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
            final long size = readNumber(header, 124, 12);
            final long blocks = (size + 511) / 512 * 512;
            if (header[156] == 'L' && size < 1 << 20) {
                final byte[] data = in.readNBytes((int) blocks);
                longName = new String(data, 0, (int) Math.min(size, data.length), StandardCharsets.UTF_8)
                        .replace("\0", "");
                continue;
            }
            in.skipNBytes(blocks);
            if (header[156] == 'K') {
                continue;  // the long target of the link that follows, not an entry of its own
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
