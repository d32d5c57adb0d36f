package packager;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class IconFileTest {
    private static final byte[] PNG = {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};

    @TempDir
    Path temp;

    /** An .ico: its header with `count`, then one directory entry {size, offset} per pair given, then `tail`. */
    static byte[] ico(int count, long[][] entries, byte[] tail) {
        final ByteBuffer bytes = ByteBuffer.allocate(6 + 16 * entries.length + tail.length).order(ByteOrder.LITTLE_ENDIAN);
        bytes.putShort((short) 0).putShort((short) 1).putShort((short) count);
        for (int i = 0; i < entries.length; ++i) {
            bytes.put((byte) (16 << i)).put((byte) (16 << i)).put((byte) 0).put((byte) 0).putShort((short) 1)
                    .putShort((short) 32).putInt((int) entries[i][0]).putInt((int) entries[i][1]);
        }
        return bytes.put(tail).array();
    }

    @Test
    void takesEachImageAndGroupsThemByResourceId() throws Stop, IOException {
        final byte[] bitmap = new byte[40];
        Arrays.fill(bitmap, (byte) 0x28);
        final byte[] images = new byte[bitmap.length + PNG.length];
        System.arraycopy(bitmap, 0, images, 0, bitmap.length);
        System.arraycopy(PNG, 0, images, bitmap.length, PNG.length);
        final byte[] file = ico(2, new long[][] {{40, 38}, {PNG.length, 78}}, images);
        final IconFile icon = IconFile.read(Files.write(temp.resolve("app.ico"), file));

        assertEquals(2, icon.images.size());
        assertArrayEquals(bitmap, icon.images.get(0));
        assertArrayEquals(PNG, icon.images.get(1), "a PNG image is kept as it is");
        final ByteBuffer group = ByteBuffer.wrap(icon.group(5)).order(ByteOrder.LITTLE_ENDIAN);
        assertEquals(6 + 14 * 2, group.limit());
        assertEquals(List.of(0, 1, 2), List.of((int) group.getShort(0), (int) group.getShort(2), (int) group.getShort(4)));
        for (int i = 0; i < 2; ++i) {
            assertArrayEquals(Arrays.copyOfRange(file, 6 + 16 * i, 6 + 16 * i + 12),
                    Arrays.copyOfRange(group.array(), 6 + 14 * i, 6 + 14 * i + 12), "entry " + i + " as in the file");
            assertEquals(5 + i, group.getShort(6 + 14 * i + 12), "entry " + i + "'s resource id");
        }
    }

    /** Files that are no icon, or whose directory lies: refused, named, with what is wrong. */
    static Stream<Arguments> damaged() {
        final byte[] image = new byte[16];
        return Stream.of(
                Arguments.of(new byte[] {0, 0, 1, 0, 1}, "is not a Windows icon (.ico)"),
                Arguments.of(PNG, "is not a Windows icon (.ico)"),
                Arguments.of(ico(0, new long[][] {}, image), "is not a Windows icon (.ico)"),
                Arguments.of(ico(-1, new long[][] {{16, 22}}, image), "is not a Windows icon (.ico)"),
                Arguments.of(cursor(), "is not a Windows icon (.ico)"),
                Arguments.of(ico(3, new long[][] {{16, 22}}, image), "is damaged: it lists 3 images, but ends before "
                        + "their directory does"),
                Arguments.of(ico(1, new long[][] {{0, 22}}, image), "is damaged: its image 1 lies outside the file"),
                Arguments.of(ico(1, new long[][] {{17, 22}}, image), "is damaged: its image 1 lies outside the file"),
                Arguments.of(ico(1, new long[][] {{16, 21}}, image), "is damaged: its image 1 lies outside the file"),
                Arguments.of(ico(1, new long[][] {{0xFFFFFFFFL, 22}}, image),
                        "is damaged: its image 1 lies outside the file"),
                Arguments.of(ico(1, new long[][] {{16, 0xFFFFFFF0L}}, image),
                        "is damaged: its image 1 lies outside the file"),
                Arguments.of(ico(2, new long[][] {{16, 38}, {16, 30}}, image),
                        "is damaged: its image 2 lies outside the file"));
    }

    private static byte[] cursor() {
        final byte[] file = ico(1, new long[][] {{16, 22}}, new byte[16]);
        file[2] = 2;
        return file;
    }

    @ParameterizedTest
    @MethodSource("damaged")
    void refusesWhatIsNoIconOrLies(byte[] file, String why) throws IOException {
        final Path path = Files.write(temp.resolve("bad.ico"), file);
        final Stop stop = assertThrows(Stop.class, () -> IconFile.read(path));
        assertEquals(Stop.REFUSED, stop.status);
        assertTrue(stop.getMessage().startsWith("--icon \"" + path + "\" " + why), stop.getMessage());
    }

    @Test
    void refusesAnIconItCannotRead() {
        final Path missing = temp.resolve("missing.ico");
        final Stop stop = assertThrows(Stop.class, () -> IconFile.read(missing));
        assertEquals("--icon \"" + missing + "\" cannot be read: no such file: " + missing, stop.getMessage());
    }
}
