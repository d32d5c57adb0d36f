package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class ArchivesTest {
    /** What lies beside the folder "app" before a --replace. */
    enum Kind {
        /** an archive the packager made of the folder "app" */
        OURS,
        /** the same archive of a folder "other": not an archive of this folder */
        OF_ANOTHER_FOLDER,
        /** an archive of the user's, of a folder "app" without the packager's marker */
        USERS,
        /** not an archive at all */
        TEXT
    }

    /** The files beside the folder, the archive this run makes (null: none), and the ones --replace removes. */
    static Stream<Arguments> replacements() {
        return Stream.of(
                Arguments.of(Map.of("app.tar.gz", Kind.OURS), "app.tar.xz", List.of("app.tar.gz")),
                Arguments.of(Map.of("app.tar.xz", Kind.OURS), "app.tar.gz", List.of("app.tar.xz")),
                Arguments.of(Map.of("app.tar.gz", Kind.OURS, "app.tar.xz", Kind.OURS), null,
                        List.of("app.tar.gz", "app.tar.xz")),
                Arguments.of(Map.of("app.tar.gz", Kind.OURS), "app.tar.gz", List.of()),
                Arguments.of(Map.of("app.zip", Kind.OURS, "app.tar.gz", Kind.OURS), "app.zip", List.of("app.tar.gz")),
                Arguments.of(Map.of("app.zip", Kind.OURS), null, List.of("app.zip")),
                Arguments.of(Map.of("app.tar.gz", Kind.USERS, "app.zip", Kind.USERS), "app.tar.xz", List.of()),
                Arguments.of(Map.of("app.tar.xz", Kind.OF_ANOTHER_FOLDER), null, List.of()),
                Arguments.of(Map.of("app.tar.gz", Kind.TEXT, "app.tar.xz", Kind.TEXT, "app.zip", Kind.TEXT), null,
                        List.of()));
    }

    @ParameterizedTest
    @MethodSource("replacements")
    void replaceRemovesOnlyThePackagersOwnEarlierArchivesOfTheFolder(Map<String, Kind> beside, String made,
            List<String> removed, @TempDir Path dest) throws IOException {
        for (final Map.Entry<String, Kind> file : new TreeMap<>(beside).entrySet()) {
            write(dest.resolve(file.getKey()), file.getValue(), dest.resolve(".src-" + file.getKey()));
        }
        final Path folder = dest.resolve("app");
        final List<Path> earlier = Archives.earlierArchives(folder, "app", made == null ? null : dest.resolve(made));
        assertEquals(removed, earlier.stream().map(path -> path.getFileName().toString()).collect(Collectors.toList()));
    }

    /** Writes `archive` of the `kind`, with `work` as a folder of its own to build from. */
    private static void write(Path archive, Kind kind, Path work) throws IOException {
        if (kind == Kind.TEXT) {
            Files.writeString(archive, "not an archive");
            return;
        }
        final String top = kind == Kind.OF_ANOTHER_FOLDER ? "other" : "app";
        final Path folder = Files.createDirectories(work.resolve(top));
        Files.writeString(folder.resolve("app.jar"), "the program");
        if (kind != Kind.USERS) {
            Files.writeString(folder.resolve(Plan.MARKER), "made by the packager");
        }
        final String fileName = archive.getFileName().toString();
        try (OutputStream out = Files.newOutputStream(archive)) {
            if (fileName.endsWith(".zip")) {
                try (ZipOutputStream zip = new ZipOutputStream(out); Stream<Path> files = Files.list(folder)) {
                    for (final Path file : (Iterable<Path>) files.sorted()::iterator) {
                        zip.putNextEntry(new ZipEntry(top + "/" + file.getFileName()));
                        zip.write(Files.readString(file).getBytes(StandardCharsets.UTF_8));
                        zip.closeEntry();
                    }
                }
            } else {
                final Compression compression = fileName.endsWith(".xz") ? Compression.XZ : Compression.GZIP;
                try (OutputStream compressed = compression.compressing(out)) {
                    Tar.write(compressed, folder, top);
                }
            }
        }
    }
}
