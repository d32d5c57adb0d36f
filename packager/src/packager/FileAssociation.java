package packager;

import java.io.IOException;
import java.io.Reader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Properties;

/** A document type the installed program opens, from a --file-associations file in jpackage's properties format. */
record FileAssociation(String extension, String mimeType, String description) {
    private static final List<String> KEYS = List.of("extension", "mime-type", "description", "icon");

    static List<FileAssociation> read(List<Path> files, String productName) throws Stop {
        final List<FileAssociation> associations = new ArrayList<>();
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
            final String mimeType = properties.getProperty("mime-type",
                    "application/x-" + productName.toLowerCase(java.util.Locale.ROOT).replaceAll("[^a-z0-9]+", "-")
                            + "-" + extension.toLowerCase(java.util.Locale.ROOT)).trim();
            if (!mimeType.matches("[a-z]+/[A-Za-z0-9][A-Za-z0-9!#$&^_.+-]*")) {
                throw Stop.refused("--file-associations " + Text.quote(file) + " has the mime-type " + mimeType
                        + ", which is not TYPE/SUBTYPE, such as application/x-plan");
            }
            associations.add(new FileAssociation(extension, mimeType,
                    properties.getProperty("description", productName + " document").trim()));
        }
        return associations;
    }
}
