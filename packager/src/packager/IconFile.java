package packager;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * A Windows .ico file, as an executable holds it: each image a resource of its own (RT_ICON), and a group
 * (RT_GROUP_ICON) that lists them with the .ico's own directory entries, the file offset replaced by the
 * image's resource id.
 */
final class IconFile {
    final List<byte[]> images = new ArrayList<>();
    private final List<byte[]> entries = new ArrayList<>();  // the first 12 bytes of each directory entry

    static IconFile read(Path path) throws Stop {
        final byte[] file;
        try {
            file = Files.readAllBytes(path);
        } catch (IOException unreadable) {
            throw Stop.refused("--icon " + Text.quote(path) + " cannot be read: " + Text.describe(unreadable));
        }
        final ByteBuffer bytes = ByteBuffer.wrap(file).order(ByteOrder.LITTLE_ENDIAN);
        if (file.length < 6 || bytes.getShort(0) != 0 || bytes.getShort(2) != 1 || bytes.getShort(4) <= 0) {
            throw Stop.refused("--icon " + Text.quote(path) + " is not a Windows icon (.ico) file; for a Windows target give an .ico "
                    + "(icotool -c makes one from PNG images)");
        }
        final int count = bytes.getShort(4);
        if (6 + 16L * count > file.length) {
            throw Stop.refused("--icon " + Text.quote(path) + " is damaged: it lists " + count + " images, but ends before their "
                    + "directory does");
        }
        final IconFile icon = new IconFile();
        for (int i = 0; i < count; ++i) {
            final int entry = 6 + 16 * i;
            final long size = bytes.getInt(entry + 8) & 0xffffffffL;
            final long offset = bytes.getInt(entry + 12) & 0xffffffffL;
            if (size == 0 || offset < 6 + 16L * count || offset + size > file.length) {
                throw Stop.refused("--icon " + Text.quote(path) + " is damaged: its image " + (i + 1) + " lies outside the file");
            }
            icon.entries.add(Arrays.copyOfRange(file, entry, entry + 12));
            icon.images.add(Arrays.copyOfRange(file, (int) offset, (int) (offset + size)));
        }
        return icon;
    }

    /** The group resource, naming the images by the ids firstId, firstId + 1, ... */
    byte[] group(int firstId) {
        final PeResources.Writer group = new PeResources.Writer().u16(0).u16(1).u16(images.size());
        for (int i = 0; i < entries.size(); ++i) {
            group.bytes(entries.get(i)).u16(firstId + i);
        }
        return group.toBytes();
    }
}
