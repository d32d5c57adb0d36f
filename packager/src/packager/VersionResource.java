package packager;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.util.LinkedHashMap;
import java.util.Map;

/**
 * An executable's version resource (VS_VERSIONINFO): the numeric file and product versions and the strings
 * Explorer shows in the file's properties, in one string table (U.S. English, UTF-16, as the build makes it).
 */
final class VersionResource {
    /** The most bytes the resource holds: its length, and every length in it, is 16 bits. */
    static final int MAX_BYTES = 0xFFFF;
    private static final String TABLE = "040904B0";

    int[] fileVersion = {0, 0, 0, 0};
    int[] productVersion = {0, 0, 0, 0};
    final Map<String, String> strings = new LinkedHashMap<>();

    /** The version resource the build put into the launcher; malformed data gives an IllegalArgumentException. */
    static VersionResource read(byte[] data) {
        final VersionResource version = new VersionResource();
        final ByteBuffer bytes = ByteBuffer.wrap(data).order(ByteOrder.LITTLE_ENDIAN);
        try {
            final Node root = new Node(bytes, 0);
            if (!root.key.equals("VS_VERSION_INFO") || root.valueLength < 52
                    || bytes.getInt(root.valueOffset) != 0xFEEF04BD) {
                throw new IllegalArgumentException("its version resource is not a VS_VERSIONINFO");
            }
            version.fileVersion = numbers(bytes, root.valueOffset + 8);
            version.productVersion = numbers(bytes, root.valueOffset + 16);
            for (int child = root.childrenOffset; child < root.end; child = align4(new Node(bytes, child).end)) {
                final Node info = new Node(bytes, child);
                if (!info.key.equals("StringFileInfo")) {
                    continue;
                }
                for (int table = info.childrenOffset; table < info.end; table = align4(new Node(bytes, table).end)) {
                    final Node strings = new Node(bytes, table);
                    for (int entry = strings.childrenOffset; entry < strings.end;
                            entry = align4(new Node(bytes, entry).end)) {
                        final Node string = new Node(bytes, entry);
                        version.strings.put(string.key, string.text(bytes));
                    }
                }
            }
        } catch (IndexOutOfBoundsException cutShort) {
            throw new IllegalArgumentException("its version resource is cut short");
        }
        return version;
    }

    /** A node of the structure: its length, key and value, and where its children lie. */
    private static final class Node {
        final int end;
        final int valueLength;
        final int type;
        final String key;
        final int valueOffset;
        final int childrenOffset;

        Node(ByteBuffer bytes, int offset) {
            final int length = bytes.getShort(offset) & 0xffff;
            if (length < 6) {
                throw new IllegalArgumentException("its version resource has an empty node");
            }
            end = offset + length;
            valueLength = bytes.getShort(offset + 2) & 0xffff;
            type = bytes.getShort(offset + 4) & 0xffff;
            int position = offset + 6;
            final StringBuilder name = new StringBuilder();
            for (char c; (c = bytes.getChar(position)) != 0; position += 2) {
                name.append(c);
            }
            key = name.toString();
            valueOffset = align4(position + 2);
            final int valueBytes = type == 1 ? 2 * valueLength : valueLength;
            childrenOffset = align4(valueOffset + valueBytes);
        }

        String text(ByteBuffer bytes) {
            final StringBuilder text = new StringBuilder();
            for (int position = valueOffset; position + 1 < end && position < valueOffset + 2 * valueLength;
                    position += 2) {
                final char c = bytes.getChar(position);
                if (c == 0) {
                    break;
                }
                text.append(c);
            }
            return text.toString();
        }
    }

    private static int[] numbers(ByteBuffer bytes, int offset) {
        final int most = bytes.getInt(offset);
        final int least = bytes.getInt(offset + 4);
        return new int[] {most >>> 16, most & 0xffff, least >>> 16, least & 0xffff};
    }

    /** The numbers of a version text such as 2.5.7 (missing ones are 0). */
    static int[] parseNumbers(String text) {
        final String[] parts = text.split("\\.");
        final int[] numbers = new int[4];
        for (int i = 0; i < parts.length; ++i) {
            numbers[i] = Integer.parseInt(parts[i]);
        }
        return numbers;
    }

    /** The resource's bytes; an IllegalArgumentException when its texts do not fit (see fits). */
    byte[] toBytes() {
        final byte[] bytes = layOut();
        if (bytes.length > MAX_BYTES) {
            throw new IllegalArgumentException("its version resource's texts would take " + bytes.length
                    + " bytes, and it holds at most " + MAX_BYTES);
        }
        return bytes;
    }

    /** Whether the texts fit the 16-bit lengths. */
    boolean fits() {
        return layOut().length <= MAX_BYTES;
    }

    /** The most characters the string `key` can have, the others as they are: 0 when even none fits. */
    int mostCharacters(String key) {
        final String text = strings.get(key);
        int fitting = 0;
        int tooMany = text.length() + 1;
        while (tooMany - fitting > 1) {
            final int tried = (fitting + tooMany) >>> 1;
            strings.put(key, text.substring(0, tried));
            if (fits()) {
                fitting = tried;
            } else {
                tooMany = tried;
            }
        }
        strings.put(key, text);
        return fitting;
    }

    /** The bytes, their lengths cut to 16 bits: only when the texts fit is this the resource. */
    private byte[] layOut() {
        final PeResources.Writer fixed = new PeResources.Writer()
                .u32(0xFEEF04BDL).u32(0x00010000)
                .u32((long) fileVersion[0] << 16 | fileVersion[1]).u32((long) fileVersion[2] << 16 | fileVersion[3])
                .u32((long) productVersion[0] << 16 | productVersion[1])
                .u32((long) productVersion[2] << 16 | productVersion[3])
                .u32(0x3F).u32(0).u32(0x00040004).u32(1).u32(0).u32(0).u32(0);
        final PeResources.Writer table = new PeResources.Writer();
        for (final Map.Entry<String, String> string : strings.entrySet()) {
            table.alignTo4().bytes(node(string.getKey(), 1, string.getValue().length() + 1,
                    new PeResources.Writer().text(string.getValue()).toBytes(), new byte[0]));
        }
        final byte[] stringTable = node(TABLE, 1, 0, new byte[0], table.toBytes());
        final byte[] stringFileInfo = node("StringFileInfo", 1, 0, new byte[0], stringTable);
        final byte[] translation = node("Translation", 0, 4, new PeResources.Writer().u16(0x409).u16(1200).toBytes(),
                new byte[0]);
        final byte[] varFileInfo = node("VarFileInfo", 1, 0, new byte[0], translation);
        final byte[] children = new PeResources.Writer().bytes(stringFileInfo).alignTo4().bytes(varFileInfo).toBytes();
        return node("VS_VERSION_INFO", 0, 52, fixed.toBytes(), children);
    }

    /** One node: length, value length, type, key, padding, value, padding, children. */
    private static byte[] node(String key, int type, int valueLength, byte[] value, byte[] children) {
        final PeResources.Writer body = new PeResources.Writer().u16(0).u16(valueLength).u16(type).text(key).alignTo4()
                .bytes(value);
        if (children.length > 0) {
            body.alignTo4().bytes(children);
        }
        final byte[] bytes = body.toBytes();
        bytes[0] = (byte) bytes.length;
        bytes[1] = (byte) (bytes.length >>> 8);
        return bytes;
    }

    private static int align4(int value) {
        return (value + 3) & ~3;
    }
}
