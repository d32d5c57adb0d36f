package packager;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;

/**
 * A file or folder of --app-content, copied into the application folder beside the launcher under its own name,
 * as jpackage adds it to the app image's content.
 *
 * @param given the path as given, for messages
 * @param source what it names, links resolved
 * @param name its name in the folder: the last part of the path as given
 */
record AppContent(Path given, Path source, String name) {
    String origin() {
        return "--app-content " + Text.quote(given);
    }

    /** Copies it into `folder`, a folder's links replaced by what they point to, as --input is copied. */
    void copyInto(Path folder) throws IOException {
        if (Files.isDirectory(source)) {
            FileTrees.copyTree(source, folder.resolve(name));
        } else {
            Files.copy(source, folder.resolve(name), StandardCopyOption.COPY_ATTRIBUTES);
        }
    }
}
