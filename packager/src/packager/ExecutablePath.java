package packager;

import java.io.File;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.List;
import java.util.Optional;

/** A tool the packager runs, found on PATH as a shell would find it. */
final class ExecutablePath {
    private ExecutablePath() {
    }

    /** The first executable `tool` (or `tool`.exe) in PATH's folders. */
    static Optional<Path> find(String tool) {
        final String path = System.getenv("PATH");
        if (path == null) {
            return Optional.empty();
        }
        for (final String folder : path.split(java.util.regex.Pattern.quote(File.pathSeparator))) {
            for (final String suffix : List.of("", ".exe")) {
                try {
                    final Path candidate = Path.of(folder.isEmpty() ? "." : folder, tool + suffix);
                    if (Files.isRegularFile(candidate) && Files.isExecutable(candidate)) {
                        return Optional.of(candidate.toAbsolutePath());
                    }
                } catch (InvalidPathException notAFolder) {
                    // a PATH entry this system cannot name holds no tool
                }
            }
        }
        return Optional.empty();
    }
}
