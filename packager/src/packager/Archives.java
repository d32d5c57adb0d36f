package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;
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

    /**
     * The archives of the folder `name` beside `folder` that this packager made before, other than `kept` (the one
     * this run makes; null: none): what --replace removes once the new folder is in place, so that no archive of
     * the old product stays beside the new one. An archive without the marker is the user's and is not named.
     */
    static List<Path> earlierArchives(Path folder, String name, Path kept) {
        final List<Path> earlier = new ArrayList<>();
        // Whatever the target: the folder replaced may have been made for the other platform.
        final List<String> fileNames = new ArrayList<>(List.of(name + ".zip"));
        for (final Compression compression : Compression.values()) {
            fileNames.add(name + ".tar" + compression.suffix);
        }
        for (final String fileName : fileNames) {
            final Path archive = folder.resolveSibling(fileName);
            if (!archive.equals(kept) && Files.isRegularFile(archive, LinkOption.NOFOLLOW_LINKS)
                    && madeByPackager(archive, name)) {
                earlier.add(archive);
            }
        }
        return earlier;
    }

    /** Whether `archive` (.zip, .tar.gz or .tar.xz) holds the folder `name` with the packager's marker. */
    static boolean madeByPackager(Path archive, String name) {
        final String markerEntry = name + "/" + Plan.MARKER;
        final String fileName = archive.getFileName().toString();
        try {
            if (fileName.endsWith(".zip")) {
                try (ZipFile zip = new ZipFile(archive.toFile())) {
                    return zip.getEntry(markerEntry) != null;
                }
            }
            final Compression compression = fileName.endsWith(Compression.XZ.suffix) ? Compression.XZ : Compression.GZIP;
            try (InputStream tar = compression.decompressing(Files.newInputStream(archive))) {
                return Tar.entryNames(tar).contains(markerEntry);
            }
        } catch (IOException | RuntimeException notOurs) {
            return false;
        }
    }

    private static void writeZip(OutputStream out, Path folder, String top) throws IOException {
        try (ZipOutputStream zip = new ZipOutputStream(out); Stream<Path> files = Files.walk(folder)) {
            for (final Path file : (Iterable<Path>) files.sorted()::iterator) {
                final String entry = top + (file.equals(folder) ? "" : "/"
                        + Text.slashed(folder.relativize(file)));
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
