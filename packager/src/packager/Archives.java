package packager;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.stream.Stream;
import java.util.zip.GZIPOutputStream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

/** NAME.zip (Windows) or NAME.tar.gz (Linux, file modes kept) of the application folder. */
final class Archives {
    private Archives() {
    }

    static void write(Plan plan) throws IOException {
        final Path partial = Files.createTempFile(plan.appFolder.getParent(), "." + plan.name + ".archive-", ".part");
        try {
            try (OutputStream out = Files.newOutputStream(partial)) {
                if (plan.target == Target.WINDOWS) {
                    writeZip(out, plan.appFolder, plan.name);
                } else {
                    try (GZIPOutputStream gzip = new GZIPOutputStream(out)) {
                        Tar.write(gzip, plan.appFolder, plan.name);
                    }
                }
            }
            FileTrees.readableByAll(partial, false);
            Files.move(partial, plan.archivePath, StandardCopyOption.REPLACE_EXISTING);
        } finally {
            Files.deleteIfExists(partial);
        }
    }

    private static void writeZip(OutputStream out, Path folder, String top) throws IOException {
        try (ZipOutputStream zip = new ZipOutputStream(out); Stream<Path> files = Files.walk(folder)) {
            for (final Path file : (Iterable<Path>) files.sorted()::iterator) {
                final String entry = top + (file.equals(folder) ? "" : "/"
                        + folder.relativize(file).toString().replace('\\', '/'));
                if (Files.isDirectory(file)) {
                    zip.putNextEntry(new ZipEntry(entry + "/"));
                } else {
                    zip.putNextEntry(new ZipEntry(entry));
                    Files.copy(file, zip);
                }
                zip.closeEntry();
            }
        }
    }
}
