package packager;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.Random;
import java.util.stream.Stream;
import java.util.zip.CRC32;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.EnumSource;
import org.junit.jupiter.params.provider.MethodSource;

class CompressionTest {
    /** The options given, and the archive's name and the Debian package's compression they make. */
    static Stream<Arguments> choices() {
        return Stream.of(
                Arguments.of(new String[] {"--archive"}, "linux", "app.tar.gz", Compression.XZ),
                Arguments.of(new String[] {"--archive-compression", "xz"}, "linux", "app.tar.xz", Compression.XZ),
                Arguments.of(new String[] {"--archive-compression=gzip"}, "linux", "app.tar.gz", Compression.XZ),
                Arguments.of(new String[] {"--archive"}, "windows", "app.zip", Compression.XZ),
                Arguments.of(new String[] {"--linux-deb-compression", "gzip"}, "linux", "app.tar.gz", Compression.GZIP),
                Arguments.of(new String[] {"--linux-deb-compression", "xz"}, "linux", "app.tar.gz", Compression.XZ));
    }

    @ParameterizedTest
    @MethodSource("choices")
    void optionsChooseTheCompression(String[] arguments, String target, String archive, Compression deb)
            throws Stop {
        final Plan plan = new Plan(Options.parse(arguments).orElseThrow());
        plan.name = "app";
        plan.target = Target.named(target).orElseThrow();
        assertEquals(archive, plan.archiveFileName());
        assertEquals(deb, plan.debCompression());
        assertEquals(arguments[0].startsWith("--archive"), plan.options.archive, "--archive-compression implies it");
    }

    static Stream<Arguments> refusals() {
        return Stream.of("zstd", "XZ", "gz", "", "xz ").flatMap(value -> Stream.of(
                Arguments.of("--archive-compression", value), Arguments.of("--linux-deb-compression", value)));
    }

    @ParameterizedTest
    @MethodSource("refusals")
    void aCompressionItDoesNotWriteIsRefusedNamingTheChoices(String option, String value) {
        final Stop stop = assertThrows(Stop.class, () -> Options.parse(new String[] {option, value}));
        assertEquals(Stop.REFUSED, stop.status);
        assertEquals(option + " " + value + " is not a compression the packager writes: give xz or gzip",
                stop.getMessage());
    }

    /** A tar stream's mix: text that repeats and bytes that do not. */
    private static byte[] sample() {
        final byte[] noise = new byte[300_000];
        new Random(28).nextBytes(noise);
        final ByteArrayOutputStream data = new ByteArrayOutputStream();
        for (int i = 0; i < 5000; ++i) {
            data.writeBytes(("lib/app/file-" + i + ".class\n").getBytes(StandardCharsets.US_ASCII));
        }
        data.writeBytes(noise);
        return data.toByteArray();
    }

    private static byte[] compressed(Compression compression, byte[] data) throws IOException {
        final ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        try (OutputStream out = compression.compressing(bytes)) {
            out.write(data);
        }
        return bytes.toByteArray();
    }

    @ParameterizedTest
    @EnumSource(Compression.class)
    void readsBackWhatItWroteInTheFormatItsSuffixNames(Compression compression) throws IOException {
        final byte[] data = sample();
        final byte[] packed = compressed(compression, data);
        // The magic numbers dpkg and tar recognise the format by.
        final byte[] magic = compression == Compression.XZ ? new byte[] {(byte) 0xFD, '7', 'z', 'X', 'Z', 0}
                : new byte[] {0x1F, (byte) 0x8B};
        assertArrayEquals(magic, Arrays.copyOf(packed, magic.length));
        assertEquals(compression == Compression.XZ ? ".xz" : ".gz", compression.suffix);
        assertArrayEquals(data, compression.decompressing(new ByteArrayInputStream(packed)).readAllBytes());
        assertArrayEquals(packed, compressed(compression, data), "the same input, the same bytes");
    }

    @ParameterizedTest
    @EnumSource(Compression.class)
    void anotherFormatFailsToReadAsAnIoError(Compression compression) throws IOException {
        final Compression other = compression == Compression.XZ ? Compression.GZIP : Compression.XZ;
        final byte[] packed = compressed(other, sample());
        assertThrows(IOException.class,
                () -> compression.decompressing(new ByteArrayInputStream(packed)).readAllBytes());
    }

    @Test
    void anXzFileAskingForAHugeDictionaryFailsToReadRatherThanExhaustTheMemory() throws IOException {
        final byte[] packed = compressed(Compression.XZ, sample());
        // The first block header, after the 12-byte stream header: its size, flags, the LZMA2 filter's ID and
        // properties' size, the dictionary size (37: 1.5 GiB), padding, and its CRC32.
        assertArrayEquals(new byte[] {2, 0, 0x21, 1}, Arrays.copyOfRange(packed, 12, 16));
        packed[16] = 37;
        final CRC32 crc = new CRC32();
        crc.update(packed, 12, 8);
        for (int i = 0; i < 4; ++i) {
            packed[20 + i] = (byte) (crc.getValue() >>> (8 * i));
        }
        assertThrows(IOException.class,
                () -> Compression.XZ.decompressing(new ByteArrayInputStream(packed)).readAllBytes());
    }
}
