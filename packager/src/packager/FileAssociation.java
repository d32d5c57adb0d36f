package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.Reader;
import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Properties;

/**
 * A document type the installed program opens, from a --file-associations file in jpackage's properties format;
 * its icon (null: the program's) is a PNG for Linux, an .ico for Windows.
 */
record FileAssociation(String extension, String mimeType, String description, Path icon) {
    private static final List<String> KEYS = List.of("extension", "mime-type", "description", "icon");
    /** The sizes of hicolor, the icon theme every desktop falls back to, that a document type's icon may have. */
    static final List<Integer> ICON_SIZES = List.of(16, 22, 24, 32, 48, 64, 96, 128, 256, 512);

    static List<FileAssociation> read(List<Path> files, String productName, Target target) throws Stop {
        final List<FileAssociation> associations = new ArrayList<>();
        final java.util.Map<String, Path> fileOfExtension = new java.util.HashMap<>();
        for (final Path file : files) {
            final Properties properties = new Properties();
            try (Reader reader = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
                properties.load(reader);
            } catch (IOException | IllegalArgumentException unreadable) {
                throw Stop.refused("--file-associations " + Text.quote(file) + " cannot be read: "
                        + (unreadable instanceof IOException io ? Text.describe(io) : unreadable.getMessage()));
            }
            if (properties.isEmpty() || !KEYS.containsAll(properties.stringPropertyNames())) {
                throw Stop.refused("--file-associations " + Text.quote(file) + " is not in jpackage's properties "
                        + "format: it may hold only the lines extension=, mime-type=, description= and icon=");
            }
            final String extension = properties.getProperty("extension", "").trim();
            if (!extension.matches("[A-Za-z0-9]+")) {
                throw Stop.refused("--file-associations " + Text.quote(file) + " has " + (extension.isEmpty()
                        ? "no extension=" : "the extension " + extension + ", which is not letters and digits")
                        + ": give the extension of the documents, such as extension=plan");
            }
            final String mimeType = properties.getProperty("mime-type", defaultMimeType(productName, extension)).trim();
            if (!mimeType.matches("[a-z]+/[A-Za-z0-9][A-Za-z0-9!#$&^_.+-]*")) {
                throw Stop.refused("--file-associations " + Text.quote(file) + " has the mime-type " + mimeType
                        + ", which is not TYPE/SUBTYPE, such as application/x-plan");
            }
            final String description = properties.getProperty("description", productName + " document").trim();
            if (description.isEmpty() || description.codePoints().anyMatch(Text::breaksALine)) {
                throw Stop.refused("--file-associations " + Text.quote(file) + " has " + (description.isEmpty()
                        ? "an empty description=" : "a description= with a line break or another control character")
                        + ": it is one line of text in the installer; give a name for the documents, such as "
                        + "description=" + productName + " document");
            }
            // Letter case aside: Windows and the desktop's globs match extensions so.
            final Path earlier = fileOfExtension.putIfAbsent(extension.toLowerCase(java.util.Locale.ROOT), file);
            if (earlier != null) {
                throw Stop.refused("--file-associations " + Text.quote(file) + " has the extension " + extension
                        + ", as --file-associations " + Text.quote(earlier) + " has: an extension opens one document "
                        + "type; give one of them another extension, or leave it out");
            }
            final String icon = properties.getProperty("icon", "").trim();
            associations.add(new FileAssociation(extension, mimeType, description,
                    icon.isEmpty() ? null : checkIcon(file, icon, target)));
        }
        return associations;
    }

    /**
     * The MIME type of a document type that names none: application/x-NAME-EXTENSION, NAME the letters and
     * digits of the product's name in lower case, runs of others one "-" (just the extension when none is left).
     */
    static String defaultMimeType(String productName, String extension) {
        final String stem = productName.toLowerCase(java.util.Locale.ROOT).replaceAll("[^a-z0-9]+", "-")
                .replaceAll("^-|-$", "");
        return "application/x-" + (stem.isEmpty() ? "" : stem + "-") + extension.toLowerCase(java.util.Locale.ROOT);
    }

    /** The icon= path: a PNG of one of hicolor's sizes for Linux, an .ico for Windows. */
    private static Path checkIcon(Path file, String value, Target target) throws Stop {
        final String says = "--file-associations " + Text.quote(file) + " has icon=" + value + ", ";
        try {
            final Path icon = Path.of(value);
            if (!Files.isRegularFile(icon)) {
                throw new java.nio.file.NoSuchFileException(value);
            }
            if (target == Target.WINDOWS) {
                if (!FileTrees.startsWith(icon, new byte[] {0, 0, 1, 0})) {
                    throw Stop.refused(says + "which is not a Windows icon (.ico) file, as a Windows document type's "
                            + "icon must be");
                }
            } else if (!ICON_SIZES.contains(squarePngSize(icon))) {
                throw Stop.refused(says + "which is not a square PNG image of " + ICON_SIZES.toString()
                        .replaceAll("[\\[\\]]", "") + " pixels, as a Linux document type's icon must be");
            }
            return icon;
        } catch (IOException | InvalidPathException unreadable) {
            throw Stop.refused(says + "which cannot be read: " + (unreadable instanceof IOException io
                    ? Text.describe(io) : unreadable.getMessage()));
        }
    }

    /** The width of a square PNG image; 0 for any other file. */
    static int squarePngSize(Path png) throws IOException {
        try (InputStream in = Files.newInputStream(png)) {
            final ByteBuffer header = ByteBuffer.wrap(in.readNBytes(24));
            final boolean square = header.limit() == 24 && header.getLong(0) == 0x89504e470d0a1a0aL
                    && header.getInt(16) == header.getInt(20);
            return square ? header.getInt(16) : 0;
        }
    }

    /** The icon's name in the folder of a Windows program, where the document type's registry entry names it. */
    String iconFileName(String productName) {
        return productName + "." + extension + ".ico";
    }
}
