package packager;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** The resource section's layout, the version resource and the executable they go into, read back by the format. */
class PeResourcesTest {
    private static final int SECTION_ADDRESS = 0x2000;

    /** One resource as the section's directory names it: type, id, language, data address and size. */
    record Resource(int type, int id, int language, int address, int size) {
    }

    /** The resources a section's directory tables name, read from the format: three levels of id entries. */
    static List<Resource> directory(byte[] section) {
        final ByteBuffer bytes = ByteBuffer.wrap(section).order(ByteOrder.LITTLE_ENDIAN);
        final List<Resource> resources = new ArrayList<>();
        for (final int[] type : table(bytes, 0)) {
            for (final int[] id : table(bytes, type[1] & 0x7fffffff)) {
                for (final int[] language : table(bytes, id[1] & 0x7fffffff)) {
                    assertTrue(language[1] >= 0, "a language entry names a data entry, not a table");
                    resources.add(new Resource(type[0], id[0], language[0], bytes.getInt(language[1]),
                            bytes.getInt(language[1] + 4)));
                }
            }
        }
        return resources;
    }

    private static List<int[]> table(ByteBuffer bytes, int offset) {
        assertEquals(0, bytes.getShort(offset + 12), "named entries");
        final List<int[]> entries = new ArrayList<>();
        for (int i = 0; i < bytes.getShort(offset + 14); ++i) {
            entries.add(new int[] {bytes.getInt(offset + 16 + 8 * i), bytes.getInt(offset + 20 + 8 * i)});
        }
        return entries;
    }

    /** Resources with data of lengths that are not multiples of 8, in two types, ids and languages. */
    static Stream<Arguments> resourceSets() {
        return Stream.of(
                Arguments.of(List.of(1)),
                Arguments.of(List.of(3, 13, 8, 1)),
                Arguments.of(List.of(7, 9, 15, 17, 0, 1023)),
                Arguments.of(List.of(40, 41, 42, 43, 44, 45, 46, 47)));
    }

    @ParameterizedTest
    @MethodSource("resourceSets")
    void laysEachResourcesDataOutAt8ByteAlignmentWithItsLength(List<Integer> lengths) {
        final PeResources resources = new PeResources();
        final Map<String, byte[]> given = new LinkedHashMap<>();
        for (int i = 0; i < lengths.size(); ++i) {
            final byte[] data = new byte[lengths.get(i)];
            Arrays.fill(data, (byte) (i + 1));
            final int type = i % 2 == 0 ? PeResources.ICON : PeResources.VERSION;
            resources.put(type, 1 + i / 4, 0x409 + i % 3, data);
            given.put(type + "/" + (1 + i / 4) + "/" + (0x409 + i % 3), data);
        }
        final byte[] section = resources.layOut(SECTION_ADDRESS);

        final List<Resource> found = directory(section);
        assertEquals(given.size(), found.size());
        int end = 0;
        for (final Resource resource : found) {
            final byte[] data = given.get(resource.type() + "/" + resource.id() + "/" + resource.language());
            assertEquals(data.length, resource.size(), "length of " + resource);
            assertEquals(0, resource.address() % 8, "alignment of " + resource);
            final int offset = resource.address() - SECTION_ADDRESS;
            assertTrue(offset >= end, "data overlaps what lies before it: " + resource);
            assertArrayEquals(data, Arrays.copyOfRange(section, offset, offset + data.length));
            end = offset + data.length;
        }
        assertEquals(0, section.length % 8, "the section's length");
        assertTrue(section.length - end < 8, "the section ends after its last data, padded to 8 bytes");
        final PeResources read = PeResources.read(section, SECTION_ADDRESS);
        assertArrayEquals(section, read.layOut(SECTION_ADDRESS), "read and laid out again, the same section");
    }

    @ParameterizedTest
    @ValueSource(ints = {0, 15, 40, 187})  // 187: the data's last byte is missing
    void refusesASectionCutShort(int length) {
        final PeResources resources = new PeResources();
        resources.put(PeResources.VERSION, 1, 0x409, new byte[100]);
        final byte[] section = resources.layOut(SECTION_ADDRESS);
        final byte[] cut = Arrays.copyOf(section, length);
        assertThrows(IllegalArgumentException.class, () -> PeResources.read(cut, SECTION_ADDRESS));
    }

    /** Texts of odd and even lengths, outside ASCII and long, that move every later node's alignment. */
    static Stream<Arguments> versionTexts() {
        return Stream.of(
                Arguments.of(Map.of()),
                Arguments.of(Map.of("CompanyName", "")),
                Arguments.of(Map.of("CompanyName", "A", "FileDescription", "Ab", "ProductName", "Abc")),
                Arguments.of(Map.of("LegalCopyright", "\u00a9 2026 J\u00f6rg & S\u00f8ren \u65e5\u672c",
                        "FileVersion", "1.2.3.4")),
                Arguments.of(Map.of("FileDescription", "x".repeat(5001), "Comments", "y".repeat(2))));
    }

    @ParameterizedTest
    @MethodSource("versionTexts")
    void writesAVersionResourceWhoseLengthsAddUp(Map<String, String> texts) {
        final VersionResource version = new VersionResource();
        version.fileVersion = new int[] {1, 2, 3, 65535};
        version.productVersion = new int[] {4, 5, 6, 7};
        version.strings.putAll(texts);
        final byte[] bytes = version.toBytes();
        final ByteBuffer buffer = ByteBuffer.wrap(bytes).order(ByteOrder.LITTLE_ENDIAN);

        final Node root = node(buffer, 0, bytes.length);
        assertEquals(bytes.length, root.length, "the root's length is the resource's");
        assertEquals("VS_VERSION_INFO", root.key);
        assertEquals(52, root.valueLength);
        assertEquals(0xFEEF04BD, buffer.getInt(root.valueOffset));
        assertEquals(0x00010002, buffer.getInt(root.valueOffset + 8));
        assertEquals(0x0003FFFF, buffer.getInt(root.valueOffset + 12));
        final List<Node> infos = children(buffer, root);
        assertEquals(List.of("StringFileInfo", "VarFileInfo"), infos.stream().map(n -> n.key).toList());
        final List<Node> tables = children(buffer, infos.get(0));
        assertEquals(List.of("040904B0"), tables.stream().map(n -> n.key).toList());
        final Map<String, String> found = new LinkedHashMap<>();
        for (final Node string : children(buffer, tables.get(0))) {
            assertEquals(1, string.type, "a string's type is text");
            final String text = string.utf16(buffer);
            assertEquals(text.length() + 1, string.valueLength, "a string's value length counts its characters and NUL");
            found.put(string.key, text);
        }
        assertEquals(texts, found);
        final Node translation = children(buffer, infos.get(1)).get(0);
        assertEquals("Translation", translation.key);
        assertEquals(4, translation.valueLength);
        assertEquals(0x04B00409, buffer.getInt(translation.valueOffset));

        final VersionResource read = VersionResource.read(bytes);
        assertEquals(texts, read.strings);
        assertArrayEquals(version.fileVersion, read.fileVersion);
        assertArrayEquals(version.productVersion, read.productVersion);
    }

    /** One node of a version resource, read from the format: length, value length, type, key, value, children. */
    static final class Node {
        final int offset;
        final int length;
        final int valueLength;
        final int type;
        final String key;
        final int valueOffset;
        final int childrenOffset;

        Node(int offset, int length, int valueLength, int type, String key, int valueOffset, int childrenOffset) {
            this.offset = offset;
            this.length = length;
            this.valueLength = valueLength;
            this.type = type;
            this.key = key;
            this.valueOffset = valueOffset;
            this.childrenOffset = childrenOffset;
        }

        String utf16(ByteBuffer buffer) {
            final byte[] text = new byte[2 * (valueLength - 1)];
            buffer.get(valueOffset, text);
            assertEquals(0, buffer.getShort(valueOffset + text.length), "a string ends with a NUL");
            return new String(text, StandardCharsets.UTF_16LE);
        }
    }

    static Node node(ByteBuffer buffer, int offset, int parentEnd) {
        assertEquals(0, offset % 4, "a node starts at 4-byte alignment");
        final int length = buffer.getShort(offset) & 0xffff;
        assertTrue(offset + length <= parentEnd, "a node lies inside its parent");
        final int valueLength = buffer.getShort(offset + 2) & 0xffff;
        final int type = buffer.getShort(offset + 4);
        int position = offset + 6;
        final StringBuilder key = new StringBuilder();
        for (char c; (c = buffer.getChar(position)) != 0; position += 2) {
            key.append(c);
        }
        final int valueOffset = (position + 2 + 3) & ~3;
        final int valueBytes = type == 1 ? 2 * valueLength : valueLength;
        assertTrue(valueOffset + valueBytes <= offset + length, "a node's value lies inside it");
        return new Node(offset, length, valueLength, type, key.toString(), valueOffset,
                (valueOffset + valueBytes + 3) & ~3);
    }

    static List<Node> children(ByteBuffer buffer, Node parent) {
        final List<Node> children = new ArrayList<>();
        final int end = parent.offset + parent.length;
        for (int offset = parent.childrenOffset; offset < end; ) {
            final Node child = node(buffer, offset, end);
            children.add(child);
            offset = (child.offset + child.length + 3) & ~3;
        }
        return children;
    }

    /**
     * An x64 executable as MinGW-w64 lays one out: headers, .text, .rsrc with `resources`, .reloc last, and
     * bytes after the sections.
     */
    static byte[] executable(byte[] resources) {
        final int rsrcRaw = align(resources.length, 0x200);
        final int relocAddress = align(SECTION_ADDRESS + resources.length, 0x1000);
        final ByteBuffer out = ByteBuffer.allocate(0x400 + rsrcRaw + 0x200 + 5).order(ByteOrder.LITTLE_ENDIAN);
        out.put(0, (byte) 'M').put(1, (byte) 'Z').putInt(0x3C, 0x80);
        out.putInt(0x80, 0x00004550).putShort(0x84, (short) 0x8664).putShort(0x86, (short) 3)
                .putShort(0x94, (short) 240).putShort(0x96, (short) 0x22);
        final int optional = 0x98;
        out.putShort(optional, (short) 0x20b).putInt(optional + 8, rsrcRaw + 0x200)
                .putInt(optional + 32, 0x1000).putInt(optional + 36, 0x200)
                .putInt(optional + 56, relocAddress + 0x1000).putInt(optional + 60, 0x200)
                .putInt(optional + 108, 16);
        out.putInt(optional + 112 + 8 * 2, SECTION_ADDRESS).putInt(optional + 112 + 8 * 2 + 4, resources.length);
        out.putInt(optional + 112 + 8 * 5, relocAddress).putInt(optional + 112 + 8 * 5 + 4, 12);
        section(out, 0x188, ".text", 0x10, 0x1000, 0x200, 0x200);
        section(out, 0x188 + 40, ".rsrc", resources.length, SECTION_ADDRESS, rsrcRaw, 0x400);
        section(out, 0x188 + 80, ".reloc", 12, relocAddress, 0x200, 0x400 + rsrcRaw);
        out.put(0x200, new byte[] {(byte) 0xC3});
        out.put(0x400, resources);
        out.put(0x400 + rsrcRaw, new byte[] {0, 0x10, 0, 0, 12, 0, 0, 0, 1, (byte) 0xA0, 0, 0});
        out.put(0x400 + rsrcRaw + 0x200, "TRAIL".getBytes(StandardCharsets.US_ASCII));
        return out.array();
    }

    private static void section(ByteBuffer out, int header, String name, int virtualSize, int address, int rawSize,
            int rawPointer) {
        out.put(header, Arrays.copyOf(name.getBytes(StandardCharsets.US_ASCII), 8));
        out.putInt(header + 8, virtualSize).putInt(header + 12, address).putInt(header + 16, rawSize)
                .putInt(header + 20, rawPointer);
    }

    private static int align(int value, int alignment) {
        return (value + alignment - 1) / alignment * alignment;
    }

    /** The PE checksum as Windows computes it: 16-bit words summed, carries folded in, the field as 0, plus the length. */
    static long checksum(byte[] image, int checksumOffset) {
        final byte[] copy = image.clone();
        Arrays.fill(copy, checksumOffset, checksumOffset + 4, (byte) 0);
        long sum = 0;
        for (int i = 0; i < copy.length; i += 2) {
            sum += (copy[i] & 0xff) | (i + 1 < copy.length ? (copy[i + 1] & 0xff) << 8 : 0);
            sum = (sum & 0xffff) + (sum >> 16);
        }
        return ((sum & 0xffff) + (sum >> 16)) + copy.length;
    }

    /** New resources of each size: smaller, within a page, across pages; .reloc moves after them. */
    @ParameterizedTest
    @ValueSource(ints = {1, 700, 5000, 9000})
    void putsNewResourcesIntoTheExecutableWithItsHeadersAndChecksumMadeRight(int dataLength) {
        final PeResources old = new PeResources();
        old.put(PeResources.VERSION, 1, 0x409, new byte[600]);
        final PeImage image = new PeImage(executable(old.layOut(SECTION_ADDRESS)));
        final PeResources resources = new PeResources();
        resources.put(PeResources.VERSION, 1, 0x409, new byte[dataLength]);
        final byte[] section = resources.layOut(SECTION_ADDRESS);
        final byte[] result = image.withResources(section);
        final ByteBuffer bytes = ByteBuffer.wrap(result).order(ByteOrder.LITTLE_ENDIAN);
        final int optional = 0x98;

        assertEquals(checksum(result, optional + 64), bytes.getInt(optional + 64) & 0xffffffffL, "the checksum");
        final int rsrcRaw = align(section.length, 0x200);
        final int relocAddress = align(SECTION_ADDRESS + section.length, 0x1000);
        assertEquals(section.length, bytes.getInt(0x188 + 40 + 8), ".rsrc virtual size");
        assertEquals(rsrcRaw, bytes.getInt(0x188 + 40 + 16), ".rsrc raw size");
        assertEquals(relocAddress, bytes.getInt(0x188 + 80 + 12), ".reloc address");
        assertEquals(0x400 + rsrcRaw, bytes.getInt(0x188 + 80 + 20), ".reloc raw pointer");
        assertEquals(section.length, bytes.getInt(optional + 112 + 8 * 2 + 4), "the resource directory's size");
        assertEquals(relocAddress, bytes.getInt(optional + 112 + 8 * 5), "the relocation directory");
        assertEquals(relocAddress + 0x1000, bytes.getInt(optional + 56), "the size of the image");
        assertEquals(rsrcRaw + 0x200, bytes.getInt(optional + 8), "the size of initialized data");
        assertArrayEquals(section, Arrays.copyOfRange(result, 0x400, 0x400 + section.length));
        assertEquals(1, result[0x400 + rsrcRaw + 8], "the relocations, moved whole");
        assertEquals("TRAIL", new String(result, result.length - 5, 5, StandardCharsets.US_ASCII));
        assertEquals(0x400 + rsrcRaw + 0x200 + 5, result.length);
        final PeImage again = new PeImage(result);
        assertArrayEquals(new byte[dataLength], PeResources.read(again.sectionBytes(again.resourceSection()),
                SECTION_ADDRESS).get(PeResources.VERSION, 1));
    }

    /** Executables the packager cannot brand, refused with why. */
    static Stream<Arguments> notBrandable() {
        final byte[] good = executable(new PeResources().layOut(SECTION_ADDRESS));
        final byte[] i386 = good.clone();
        i386[0x84] = 0x4c;
        i386[0x85] = 0x01;
        final byte[] pe32 = good.clone();
        pe32[0x98] = 0x0b;
        pe32[0x99] = 0x01;
        final byte[] noPe = good.clone();
        noPe[0x80] = 'X';
        return Stream.of(
                Arguments.of(new byte[0x41], "it has no MZ header"),
                Arguments.of(noPe, "it has no PE header"),
                Arguments.of(i386, "it is built for machine type 0x14c, not x64"),
                Arguments.of(pe32, "it is no 64-bit (PE32+) executable"),
                Arguments.of(Arrays.copyOf(good, 0x300), "its section .text lies past its end"));
    }

    @ParameterizedTest
    @MethodSource("notBrandable")
    void refusesWhatIsNoX64Executable(byte[] file, String why) {
        assertEquals(why, assertThrows(IllegalArgumentException.class, () -> new PeImage(file)).getMessage());
    }

    @Test
    void refusesToMoveASectionOtherThanTheRelocations() {
        final byte[] file = executable(new PeResources().layOut(SECTION_ADDRESS));
        System.arraycopy(".data\0\0\0".getBytes(StandardCharsets.US_ASCII), 0, file, 0x188 + 80, 8);
        assertEquals("its section .data follows the resources, and only .reloc can be moved",
                assertThrows(IllegalArgumentException.class, () -> new PeImage(file).withResources(new byte[8]))
                        .getMessage());
    }
}
