package packager;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * A Windows executable (PE32+ for x64) whose resource section can be replaced. The section that follows the
 * resources (the base relocations, as MinGW-w64 lays an executable out) moves up or down with them; its
 * contents are addresses in other sections, so it stays valid where it lies. Headers, the section table, the
 * size of the image and the checksum are made right.
 */
final class PeImage {
    static final int MACHINE_AMD64 = 0x8664;
    private static final int RESOURCE_DIRECTORY = 2;
    private static final int SECURITY_DIRECTORY = 4;

    /** A section header, as read. */
    static final class Section {
        final int headerOffset;
        final String name;
        long virtualSize;
        long virtualAddress;
        long rawSize;
        long rawPointer;

        Section(int headerOffset, String name, long virtualSize, long virtualAddress, long rawSize, long rawPointer) {
            this.headerOffset = headerOffset;
            this.name = name;
            this.virtualSize = virtualSize;
            this.virtualAddress = virtualAddress;
            this.rawSize = rawSize;
            this.rawPointer = rawPointer;
        }
    }

    private final byte[] file;
    private final ByteBuffer bytes;
    private final int optionalHeader;
    private final int dataDirectories;
    private final int directoryCount;
    private final List<Section> sections = new ArrayList<>();

    /** Reads the headers; a file that is no PE32+ executable for x64 gives an IllegalArgumentException. */
    PeImage(byte[] file) {
        this.file = file;
        this.bytes = ByteBuffer.wrap(file).order(ByteOrder.LITTLE_ENDIAN);
        require(file.length > 0x40 && file[0] == 'M' && file[1] == 'Z', "it has no MZ header");
        final int pe = bytes.getInt(0x3C);
        require(pe > 0 && pe + 24 < file.length && bytes.getInt(pe) == 0x00004550, "it has no PE header");
        require(u16(pe + 4) == MACHINE_AMD64, "it is built for machine type 0x" + Integer.toHexString(u16(pe + 4))
                + ", not x64");
        final int sectionCount = u16(pe + 6);
        final int optionalSize = u16(pe + 20);
        optionalHeader = pe + 24;
        require(optionalHeader + optionalSize <= file.length && u16(optionalHeader) == 0x20b,
                "it is no 64-bit (PE32+) executable");
        dataDirectories = optionalHeader + 112;
        directoryCount = (int) Math.min(u32(optionalHeader + 108), 16);
        require(directoryCount > SECURITY_DIRECTORY && dataDirectories + 8 * directoryCount <= optionalHeader + optionalSize,
                "its header lists too few data directories");
        final int table = optionalHeader + optionalSize;
        require(table + 40L * sectionCount <= file.length, "its section table is cut short");
        for (int i = 0; i < sectionCount; ++i) {
            final int header = table + 40 * i;
            final String name = new String(file, header, 8, StandardCharsets.ISO_8859_1)
                    .replace("\0", "");
            final Section section = new Section(header, name, u32(header + 8), u32(header + 12), u32(header + 16),
                    u32(header + 20));
            require(section.rawPointer + section.rawSize <= file.length, "its section " + name + " lies past its end");
            sections.add(section);
        }
    }

    boolean isSigned() {
        return u32(dataDirectories + 8 * SECURITY_DIRECTORY + 4) != 0;
    }

    /** The resource section's bytes and its address, or null when it has none. */
    Section resourceSection() {
        final long rva = u32(dataDirectories + 8 * RESOURCE_DIRECTORY);
        for (final Section section : sections) {
            if (rva != 0 && rva == section.virtualAddress) {
                return section;
            }
        }
        return null;
    }

    byte[] sectionBytes(Section section) {
        return Arrays.copyOfRange(file, (int) section.rawPointer, (int) (section.rawPointer + section.rawSize));
    }

    /**
     * The executable with `resources` (laid out for the resource section's address) as its resource section.
     * Fails with an IllegalArgumentException where a section other than the base relocations follows it.
     */
    byte[] withResources(byte[] resources) {
        final Section rsrc = resourceSection();
        require(rsrc != null, "it has no resource section");
        final int index = sections.indexOf(rsrc);
        final long sectionAlignment = u32(optionalHeader + 32);
        final long fileAlignment = u32(optionalHeader + 36);
        for (final Section later : sections.subList(index + 1, sections.size())) {
            require(later.name.equals(".reloc") && later.virtualAddress > rsrc.virtualAddress,
                    "its section " + later.name + " follows the resources, and only .reloc can be moved");
        }
        final long end = sections.stream().mapToLong(s -> s.rawPointer + s.rawSize).max().orElse(0);
        final byte[] trailing = Arrays.copyOfRange(file, (int) end, file.length);

        final ByteBuffer out = ByteBuffer.allocate((int) (rsrc.rawPointer + align(resources.length, fileAlignment)
                + sections.subList(index + 1, sections.size()).stream().mapToLong(s -> s.rawSize).sum()
                + trailing.length)).order(ByteOrder.LITTLE_ENDIAN);
        out.put(file, 0, (int) rsrc.rawPointer);
        out.put(resources);
        final long oldRawSize = rsrc.rawSize;
        rsrc.virtualSize = resources.length;
        rsrc.rawSize = align(resources.length, fileAlignment);
        out.position((int) (rsrc.rawPointer + rsrc.rawSize));
        writeSection(out, rsrc);
        Section previous = rsrc;
        for (final Section later : sections.subList(index + 1, sections.size())) {
            final byte[] content = sectionBytes(later);
            final long oldAddress = later.virtualAddress;
            later.virtualAddress = align(previous.virtualAddress + Math.max(previous.virtualSize, 1), sectionAlignment);
            later.rawPointer = previous.rawPointer + previous.rawSize;
            moveDirectories(out, oldAddress, later.virtualSize, later.virtualAddress - oldAddress);
            out.position((int) later.rawPointer);
            out.put(content);
            writeSection(out, later);
            previous = later;
        }
        out.position((int) (previous.rawPointer + previous.rawSize));
        out.put(trailing);

        final Section last = sections.get(sections.size() - 1);
        out.putInt(optionalHeader + 56, (int) align(last.virtualAddress + last.virtualSize, sectionAlignment));
        out.putInt(optionalHeader + 8, (int) (u32(optionalHeader + 8) + rsrc.rawSize - oldRawSize));
        out.putInt(dataDirectories + 8 * RESOURCE_DIRECTORY + 4, resources.length);
        final byte[] result = out.array();
        ByteBuffer.wrap(result).order(ByteOrder.LITTLE_ENDIAN).putInt(optionalHeader + 64, checksum(result));
        return result;
    }

    /** Data directories that pointed into a moved section point where it is now. */
    private void moveDirectories(ByteBuffer out, long oldAddress, long size, long delta) {
        for (int i = 0; i < directoryCount; ++i) {
            final long rva = u32(dataDirectories + 8 * i);
            if (i != SECURITY_DIRECTORY && rva >= oldAddress && rva < oldAddress + Math.max(size, 1)) {
                out.putInt(dataDirectories + 8 * i, (int) (rva + delta));
            }
        }
    }

    private static void writeSection(ByteBuffer out, Section section) {
        final int position = out.position();
        out.putInt(section.headerOffset + 8, (int) section.virtualSize);
        out.putInt(section.headerOffset + 12, (int) section.virtualAddress);
        out.putInt(section.headerOffset + 16, (int) section.rawSize);
        out.putInt(section.headerOffset + 20, (int) section.rawPointer);
        out.position(position);
    }

    /** The PE checksum: 16-bit words summed with their carries, the checksum field left out, plus the length. */
    private int checksum(byte[] image) {
        final int checksumOffset = optionalHeader + 64;
        long sum = 0;
        for (int i = 0; i + 1 < image.length; i += 2) {
            if (i == checksumOffset || i == checksumOffset + 2) {
                continue;
            }
            sum += (image[i] & 0xff) | (image[i + 1] & 0xff) << 8;
            sum = (sum & 0xffff) + (sum >>> 16);
        }
        if (image.length % 2 == 1) {
            sum += image[image.length - 1] & 0xff;
            sum = (sum & 0xffff) + (sum >>> 16);
        }
        sum = (sum & 0xffff) + (sum >>> 16);
        return (int) (sum + image.length);
    }

    static long align(long value, long alignment) {
        return (value + alignment - 1) / alignment * alignment;
    }

    private int u16(int offset) {
        return bytes.getShort(offset) & 0xffff;
    }

    private long u32(int offset) {
        return bytes.getInt(offset) & 0xffffffffL;
    }

    private static void require(boolean condition, String why) {
        if (!condition) {
            throw new IllegalArgumentException(why);
        }
    }
}
