package packager;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

/** NAME.zip (Windows) or NAME.tar.gz or .tar.xz (Linux, file modes kept) of the application folder. */
final class Archives {
    private Archives() {
    }

    /** Writes the archive of `folder` (as the folder NAME) into `partial`. */
    static void write(Plan plan, Path folder, Path partial) throws IOException, Stop {
        FileTrees.writeWhole(partial, file -> {
            try (OutputStream out = Files.newOutputStream(file)) {
                if (plan.target == Target.WINDOWS) {
                    writeZip(out, folder, plan.name);
                } else {
                    try (OutputStream compressed = plan.archiveCompression().compressing(out)) {
                        Tar.write(compressed, folder, plan.name);
                    }
                }
            }
        });
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
