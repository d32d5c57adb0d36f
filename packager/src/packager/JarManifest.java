package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.Collections;
import java.util.List;
import java.util.Locale;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.jar.Manifest;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;
import java.util.zip.ZipOutputStream;

/** A jar's manifest Class-Path as java reads it, whether the jar is signed, and a copy with another Class-Path. */
final class JarManifest {
    private JarManifest() {
    }

    /** The Class-Path entries as written (URLs relative to the jar's folder); none when it cannot be read. */
    static List<String> classPath(Path jar) {
        try (JarFile file = new JarFile(jar.toFile())) {
            return classPathOf(file.getManifest());
        } catch (IOException | RuntimeException notAJar) {
            return List.of();  // not a jar java could read a manifest from: it reaches nothing
        }
    }

    static List<String> classPathOf(Manifest manifest) {
        final String value = manifest == null ? null : manifest.getMainAttributes().getValue(Attributes.Name.CLASS_PATH);
        return value == null || value.isBlank() ? List.of() : List.of(value.trim().split("\\s+"));
    }

    /** Whether the jar carries a signature (META-INF/NAME.SF), which any change of its manifest would break. */
    static boolean isSigned(Path jar) {
        try (ZipFile zip = new ZipFile(jar.toFile())) {
            return zip.stream().map(entry -> entry.getName().toUpperCase(Locale.ROOT))
                    .anyMatch(name -> name.startsWith("META-INF/") && name.endsWith(".SF") && name.indexOf('/', 9) < 0);
        } catch (IOException | RuntimeException unreadable) {
            return false;
        }
    }

    /** Replaces the jar with a copy whose Class-Path is `entries` (none: no Class-Path); every other entry is kept. */
    static void rewriteClassPath(Path jar, List<String> entries) throws IOException {
        final Path copy = Files.createTempFile(jar.getParent(), ".classpath-", ".jar");
        try {
            try (ZipFile zip = new ZipFile(jar.toFile()); OutputStream file = Files.newOutputStream(copy);
                    ZipOutputStream out = new ZipOutputStream(file)) {
                for (final ZipEntry entry : Collections.list(zip.entries())) {
                    final ZipEntry written = new ZipEntry(entry.getName());
                    written.setTime(entry.getTime());
                    out.putNextEntry(written);
                    if (entry.getName().equalsIgnoreCase(JarFile.MANIFEST_NAME)) {
                        final Manifest manifest;
                        try (InputStream in = zip.getInputStream(entry)) {
                            manifest = new Manifest(in);
                        }
                        if (entries.isEmpty()) {
                            manifest.getMainAttributes().remove(Attributes.Name.CLASS_PATH);
                        } else {
                            manifest.getMainAttributes().put(Attributes.Name.CLASS_PATH, String.join(" ", entries));
                        }
                        manifest.write(out);
                    } else {
                        try (InputStream in = zip.getInputStream(entry)) {
                            in.transferTo(out);
                        }
                    }
                    out.closeEntry();
                }
            }
            Files.move(copy, jar, StandardCopyOption.REPLACE_EXISTING);
        } finally {
            Files.deleteIfExists(copy);
        }
    }
}
