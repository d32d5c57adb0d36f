package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Arrays;
import java.util.Set;
import java.util.TreeSet;
import java.util.stream.Stream;

/** Copying, deleting and asking about files and folders. */
final class FileTrees {
    private FileTrees() {
    }

    static void copyTree(Path from, Path to) throws IOException {
        Files.walkFileTree(from, new SimpleFileVisitor<>() {
            @Override
            public FileVisitResult preVisitDirectory(Path directory, BasicFileAttributes attributes) throws IOException {
                Files.createDirectories(to.resolve(from.relativize(directory).toString()));
                return FileVisitResult.CONTINUE;
            }

            @Override
            public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) throws IOException {
                Files.copy(file, to.resolve(from.relativize(file).toString()), StandardCopyOption.COPY_ATTRIBUTES,
                        LinkOption.NOFOLLOW_LINKS);
                return FileVisitResult.CONTINUE;
            }
        });
    }

    static void makeExecutable(Path file) throws IOException {
        final PosixFileAttributeView view = Files.getFileAttributeView(file, PosixFileAttributeView.class);
        if (view != null) {
            final Set<PosixFilePermission> permissions = new TreeSet<>(view.readAttributes().permissions());
            permissions.addAll(Set.of(PosixFilePermission.OWNER_EXECUTE, PosixFilePermission.GROUP_EXECUTE,
                    PosixFilePermission.OTHERS_EXECUTE, PosixFilePermission.OWNER_READ));
            view.setPermissions(permissions);
        }
    }

    /** A temporary file or folder made as what it becomes: readable by all, as a folder or file normally is. */
    static void readableByAll(Path path, boolean folder) throws IOException {
        final PosixFileAttributeView view = Files.getFileAttributeView(path, PosixFileAttributeView.class);
        if (view != null) {
            view.setPermissions(PosixFilePermissions.fromString(folder ? "rwxr-xr-x" : "rw-r--r--"));
        }
    }

    static boolean isEmptyFolder(Path folder) {
        try (Stream<Path> entries = Files.list(folder)) {
            return Files.isDirectory(folder, LinkOption.NOFOLLOW_LINKS) && entries.findAny().isEmpty();
        } catch (IOException | UncheckedIOException notAFolder) {
            return false;
        }
    }

    static boolean startsWith(Path file, byte[] signature) {
        try (InputStream in = Files.newInputStream(file)) {
            return Arrays.equals(in.readNBytes(signature.length), signature);
        } catch (IOException | SecurityException unreadable) {
            return false;
        }
    }

    /** Deletes a folder this packager made (staging, or a folder it replaces), never following links out of it. */
    static void deleteQuietly(Path folder) {
        try {
            Files.walkFileTree(folder, new SimpleFileVisitor<>() {
                @Override
                public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) throws IOException {
                    // Windows will not delete a read-only file, such as the runtime's CDS archive.
                    if (!attributes.isSymbolicLink()) {
                        file.toFile().setWritable(true);
                    }
                    Files.delete(file);
                    return FileVisitResult.CONTINUE;
                }

                @Override
                public FileVisitResult postVisitDirectory(Path directory, IOException failure) throws IOException {
                    Files.delete(directory);
                    return FileVisitResult.CONTINUE;
                }
            });
        } catch (IOException | UncheckedIOException ignored) {
            // What could not be deleted is a hidden folder of ours beside the application folder.
        }
    }
}
