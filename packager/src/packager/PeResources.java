package packager;

import java.io.ByteArrayOutputStream;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * The resources of an executable as a tree of type, id and language, each holding its data, read from and
 * laid out as a resource section: the directory tables first, then the data entries, then the data, each
 * 8-byte aligned. Only numeric ids are kept, which is all a launcher's resources use.
 */
final class PeResources {
    static final int ICON = 3;
    static final int GROUP_ICON = 14;
    static final int VERSION = 16;

    /** type -> id -> language -> data. */
    private final Map<Integer, Map<Integer, Map<Integer, byte[]>>> tree = new TreeMap<>();

    /** Reads a resource section that lies at `address`; malformed input gives an IllegalArgumentException. */
    static PeResources read(byte[] section, long address) {
        final PeResources resources = new PeResources();
        final ByteBuffer bytes = ByteBuffer.wrap(section).order(ByteOrder.LITTLE_ENDIAN);
        try {
            for (final int[] type : entries(bytes, 0)) {
                for (final int[] id : entries(bytes, subdirectory(type))) {
                    for (final int[] language : entries(bytes, subdirectory(id))) {
                        final int entry = language[1];
                        if (entry < 0 || entry + 16 > section.length) {
                            throw new IllegalArgumentException("a resource data entry lies outside the section");
                        }
                        final long offset = (bytes.getInt(entry) & 0xffffffffL) - address;
                        final int size = bytes.getInt(entry + 4);
                        if (offset < 0 || size < 0 || offset + size > section.length) {
                            throw new IllegalArgumentException("resource data lies outside the section");
                        }
                        resources.put(type[0], id[0], language[0],
                                Arrays.copyOfRange(section, (int) offset, (int) offset + size));
                    }
                }
            }
        } catch (IndexOutOfBoundsException cutShort) {
            throw new IllegalArgumentException("its resource section is cut short");
        }
        return resources;
    }

    /** The {id, offset} pairs of a directory table; a named entry is refused. */
    private static List<int[]> entries(ByteBuffer bytes, int table) {
        final int named = bytes.getShort(table + 12) & 0xffff;
        final int ids = bytes.getShort(table + 14) & 0xffff;
        if (named != 0) {
            throw new IllegalArgumentException("it has resources with names, which this packager does not rewrite");
        }
        final List<int[]> entries = new ArrayList<>();
        for (int i = 0; i < ids; ++i) {
            final int entry = table + 16 + 8 * i;
            entries.add(new int[] {bytes.getInt(entry), bytes.getInt(entry + 4)});
        }
        return entries;
    }

    private static int subdirectory(int[] entry) {
        if (entry[1] >= 0) {
            throw new IllegalArgumentException("a resource directory entry has data where a directory belongs");
        }
        return entry[1] & 0x7fffffff;
    }

    void put(int type, int id, int language, byte[] data) {
        tree.computeIfAbsent(type, t -> new TreeMap<>()).computeIfAbsent(id, i -> new TreeMap<>()).put(language, data);
    }

    void removeType(int type) {
        tree.remove(type);
    }

    /** The data of the first language of a resource, or null. */
    byte[] get(int type, int id) {
        final Map<Integer, byte[]> languages = tree.getOrDefault(type, Map.of()).get(id);
        return languages == null || languages.isEmpty() ? null : languages.values().iterator().next();
    }

    /** The language of the first resource of a type, or US English when it has none. */
    int languageOf(int type) {
        for (final Map<Integer, byte[]> languages : tree.getOrDefault(type, Map.of()).values()) {
            if (!languages.isEmpty()) {
                return languages.keySet().iterator().next();
            }
        }
        return 0x409;
    }

    /** The resource section for these resources, laid out to lie at `address`. */
    byte[] layOut(long address) {
        // Where each part starts: the directory tables, breadth first, then the data entries, then the data.
        int directories = 16 + 8 * tree.size();
        int dataEntries = 0;
        for (final Map<Integer, Map<Integer, byte[]>> ids : tree.values()) {
            directories += 16 + 8 * ids.size();
            for (final Map<Integer, byte[]> languages : ids.values()) {
                directories += 16 + 8 * languages.size();
                dataEntries += languages.size();
            }
        }
        final int firstData = align8(directories + 16 * dataEntries);
        int size = firstData;
        for (final Map<Integer, Map<Integer, byte[]>> ids : tree.values()) {
            for (final Map<Integer, byte[]> languages : ids.values()) {
                for (final byte[] data : languages.values()) {
                    size += align8(data.length);
                }
            }
        }
        final ByteBuffer out = ByteBuffer.allocate(size).order(ByteOrder.LITTLE_ENDIAN);

        int nextTable = 16 + 8 * tree.size();
        directoryHeader(out, 0, tree.size());
        int slot = 16;
        final List<Map<Integer, byte[]>> languageTables = new ArrayList<>();
        final List<Integer> languageTableOffsets = new ArrayList<>();
        final List<int[]> idTables = new ArrayList<>();  // {offset of the id table, type}
        for (final Map.Entry<Integer, Map<Integer, Map<Integer, byte[]>>> type : tree.entrySet()) {
            out.putInt(slot, type.getKey()).putInt(slot + 4, 0x80000000 | nextTable);
            idTables.add(new int[] {nextTable, type.getKey()});
            slot += 8;
            nextTable += 16 + 8 * type.getValue().size();
        }
        for (final int[] idTable : idTables) {
            final Map<Integer, Map<Integer, byte[]>> ids = tree.get(idTable[1]);
            directoryHeader(out, idTable[0], ids.size());
            slot = idTable[0] + 16;
            for (final Map.Entry<Integer, Map<Integer, byte[]>> id : ids.entrySet()) {
                out.putInt(slot, id.getKey()).putInt(slot + 4, 0x80000000 | nextTable);
                languageTables.add(id.getValue());
                languageTableOffsets.add(nextTable);
                slot += 8;
                nextTable += 16 + 8 * id.getValue().size();
            }
        }
        int nextEntry = directories;
        int nextData = firstData;
        for (int t = 0; t < languageTables.size(); ++t) {
            final Map<Integer, byte[]> languages = languageTables.get(t);
            directoryHeader(out, languageTableOffsets.get(t), languages.size());
            slot = languageTableOffsets.get(t) + 16;
            for (final Map.Entry<Integer, byte[]> language : languages.entrySet()) {
                out.putInt(slot, language.getKey()).putInt(slot + 4, nextEntry);
                final byte[] data = language.getValue();
                out.putInt(nextEntry, (int) (address + nextData)).putInt(nextEntry + 4, data.length);
                out.position(nextData);
                out.put(data);
                slot += 8;
                nextEntry += 16;
                nextData += align8(data.length);
            }
        }
        return out.array();
    }

    private static void directoryHeader(ByteBuffer out, int offset, int idEntries) {
        out.putShort(offset + 8, (short) 4);  // version 4.0, as the linkers write it
        out.putShort(offset + 14, (short) idEntries);
    }

    private static int align8(int value) {
        return (value + 7) & ~7;
    }

    /** A little-endian writer for the resources' own structures. */
    static final class Writer {
        private final ByteArrayOutputStream out = new ByteArrayOutputStream();

        Writer u16(int value) {
            out.write(value);
            out.write(value >>> 8);
            return this;
        }

        Writer u32(long value) {
            return u16((int) value & 0xffff).u16((int) (value >>> 16) & 0xffff);
        }

        Writer bytes(byte[] data) {
            out.writeBytes(data);
            return this;
        }

        /** A NUL-terminated UTF-16 text. */
        Writer text(String text) {
            for (final char c : text.toCharArray()) {
                u16(c);
            }
            return u16(0);
        }

        Writer alignTo4() {
            while (out.size() % 4 != 0) {
                out.write(0);
            }
            return this;
        }

        int size() {
            return out.size();
        }

        byte[] toBytes() {
            return out.toByteArray();
        }
    }
}
