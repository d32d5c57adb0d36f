package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.nio.file.FileSystemLoopException;
import java.nio.file.FileVisitOption;
import java.nio.file.FileVisitResult;
import java.nio.file.InvalidPathException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Arrays;
import java.util.Optional;
import java.util.Set;
import java.util.TreeSet;
import java.util.stream.Stream;

/** Copying, deleting and asking about files and folders. */
final class FileTrees {
    private FileTrees() {
    }

    /**
     * Copies a folder's contents, path to path (so that a name that is not text in this system's encoding keeps
     * its bytes), links replaced by what they point to; the checks have refused links that leave the folder.
     * A link that points nowhere is left out and named on standard error.
     */
    static void copyTree(Path from, Path to) throws IOException {
        Files.walkFileTree(from, Set.of(FileVisitOption.FOLLOW_LINKS), Integer.MAX_VALUE, new SimpleFileVisitor<>() {
            @Override
            public FileVisitResult preVisitDirectory(Path directory, BasicFileAttributes attributes) throws IOException {
                Interruption.checkpoint();
                if (directory.equals(from)) {
                    Files.createDirectories(to);
                } else {
                    // Never a folder above it: the folder copied into may have been removed.
                    Files.createDirectory(to.resolve(from.relativize(directory)));
                }
                return FileVisitResult.CONTINUE;
            }

            @Override
            public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) throws IOException {
                Interruption.checkpoint();
                if (attributes.isSymbolicLink()) {
                    System.err.println("warning: left out " + Text.quote(file) + ", a link to nothing");
                    return FileVisitResult.CONTINUE;
                }
                Files.copy(file, to.resolve(from.relativize(file)), StandardCopyOption.COPY_ATTRIBUTES);
                return FileVisitResult.CONTINUE;
            }
        });
    }

    /**
     * Copies a folder's contents into the existing folder `to` as they are: links stay links, modes and times
     * are kept. For a folder the packager made, whose links (a runtime's legal notices) stay inside it.
     */
    static void copyAsItIs(Path from, Path to) throws IOException {
        Files.walkFileTree(from, new SimpleFileVisitor<>() {
            @Override
            public FileVisitResult preVisitDirectory(Path directory, BasicFileAttributes attributes) throws IOException {
                Interruption.checkpoint();
                if (!directory.equals(from)) {
                    Files.copy(directory, to.resolve(from.relativize(directory)), StandardCopyOption.COPY_ATTRIBUTES,
                            LinkOption.NOFOLLOW_LINKS);
                }
                return FileVisitResult.CONTINUE;
            }

            @Override
            public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) throws IOException {
                Interruption.checkpoint();
                Files.copy(file, to.resolve(from.relativize(file)), StandardCopyOption.COPY_ATTRIBUTES,
                        LinkOption.NOFOLLOW_LINKS);
                return FileVisitResult.CONTINUE;
            }
        });
    }

    /** What writes a file, and may fail half-way. */
    interface Writer {
        void write(Path file) throws IOException, Stop;
    }

    /** Writes `file` with `writer`, readable by all; a failure deletes what was written of it. */
    static void writeWhole(Path file, Writer writer) throws IOException, Stop {
        boolean written = false;
        try {
            writer.write(file);
            readableByAll(file, false);
            written = true;
        } finally {
            if (!written) {
                Files.deleteIfExists(file);
            }
        }
    }

    /**
     * Why a folder cannot be copied whole into the application folder, or null: a link that points nowhere or
     * out of it (the folder would not run elsewhere), a loop of links, or a special file such as a FIFO (its
     * copy would wait forever).
     */
    static String whyNotCopyable(Path root) throws IOException {
        final Path realRoot = root.toRealPath();
        final String[] problem = {null};
        Files.walkFileTree(root, Set.of(FileVisitOption.FOLLOW_LINKS), Integer.MAX_VALUE, new SimpleFileVisitor<>() {
            @Override
            public FileVisitResult preVisitDirectory(Path directory, BasicFileAttributes attributes) throws IOException {
                return check(directory, attributes);
            }

            @Override
            public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) throws IOException {
                return check(file, attributes);
            }

            @Override
            public FileVisitResult visitFileFailed(Path file, IOException failure) {
                problem[0] = failure instanceof FileSystemLoopException ? file + " is a link to a folder that holds it"
                        : file + " cannot be read (" + Text.describe(failure) + ")";
                return FileVisitResult.TERMINATE;
            }

            private FileVisitResult check(Path path, BasicFileAttributes attributes) throws IOException {
                if (attributes.isSymbolicLink()) {
                    problem[0] = path + " is a link to " + Files.readSymbolicLink(path) + ", which does not exist";
                } else if (attributes.isOther()) {
                    problem[0] = path + " is a special file (a FIFO, socket or device), which cannot be copied";
                } else if (Files.isSymbolicLink(path) && !path.toRealPath().startsWith(realRoot)) {
                    problem[0] = path + " is a link to " + path.toRealPath() + ", outside " + root + "; the folder "
                            + "would not run where that is missing: copy it in instead";
                }
                return problem[0] == null ? FileVisitResult.CONTINUE : FileVisitResult.TERMINATE;
            }
        });
        return problem[0];
    }

    /**
     * Whether a name is text in this system's encoding, and so can be written where a name must be text
     * (config.json, an archive, a package); any other reads back as another name.
     */
    static boolean isText(Path name) {
        try {
            return name.equals(name.getFileSystem().getPath(name.toString()));
        } catch (InvalidPathException notText) {
            return false;
        }
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

    /** The bytes of the regular files below a folder. */
    static long size(Path folder) throws IOException {
        try (Stream<Path> files = Files.walk(folder)) {
            long total = 0;
            for (final Path file : (Iterable<Path>) files::iterator) {
                if (Files.isRegularFile(file, LinkOption.NOFOLLOW_LINKS)) {
                    total += Files.size(file);
                }
            }
            return total;
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

    /** Deletes a file or folder this packager made, as {@link #delete}, when what is left does not matter. */
    static void deleteQuietly(Path folder) {
        delete(folder);
    }

    /**
     * Deletes a file or folder this packager made (staging, or a folder it replaces), never following links out
     * of it, as much of it as can be. Returns what is left, named, with why; empty when all of it is gone.
     */
    static Optional<String> delete(Path path) {
        final IOException[] firstFailure = {null};
        try {
            Files.walkFileTree(path, new SimpleFileVisitor<>() {
                @Override
                public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) {
                    // Windows will not delete a read-only file, such as the runtime's CDS archive.
                    if (!attributes.isSymbolicLink()) {
                        file.toFile().setWritable(true);
                    }
                    return deleted(file);
                }

                @Override
                public FileVisitResult visitFileFailed(Path file, IOException failure) {
                    return failure instanceof NoSuchFileException ? FileVisitResult.CONTINUE : failed(failure);
                }

                @Override
                public FileVisitResult postVisitDirectory(Path directory, IOException failure) {
                    return deleted(directory);
                }

                private FileVisitResult deleted(Path file) {
                    try {
                        Files.deleteIfExists(file);
                    } catch (IOException cannotDelete) {
                        failed(cannotDelete);
                    }
                    return FileVisitResult.CONTINUE;
                }

                private FileVisitResult failed(IOException failure) {
                    if (firstFailure[0] == null) {
                        firstFailure[0] = failure;
                    }
                    return FileVisitResult.CONTINUE;
                }
            });
        } catch (IOException | UncheckedIOException | SecurityException walkFailed) {
            // Nothing walked; what remains is said below.
        }
        if (!Files.exists(path, LinkOption.NOFOLLOW_LINKS)) {
            return Optional.empty();
        }
        return Optional.of(Text.quote(path) + (firstFailure[0] == null ? "" : " (" + Text.describe(firstFailure[0]) + ")"));
    }
}
