package packager;

import java.nio.file.Path;
import java.util.List;

/** A freedesktop.org entry that starts the launcher where the folder runs from. */
final class DesktopEntry {
    private DesktopEntry() {
    }

    /** The entry of the folder where it runs from; with document types, one document (%f) at a time. */
    static String of(Plan plan, Path folder) {
        final List<String> mimeTypes = plan.fileAssociations.stream().map(FileAssociation::mimeType).toList();
        return entry(plan.name, plan.options.description, folder, plan.hasLinuxIcon(), mimeTypes,
                plan.options.linuxMenuGroup);
    }

    /** The entry of an extra launcher: its own name, description and icon; the documents are the main one's. */
    static String of(Plan plan, ExtraLauncher launcher, Path folder) {
        return entry(launcher.name, ExtraLaunchers.descriptionOf(plan, launcher), folder,
                ExtraLaunchers.hasLinuxIcon(plan, launcher), List.of(),
                launcher.linuxAppCategory != null ? launcher.linuxAppCategory : plan.options.linuxMenuGroup);
    }

    private static String entry(String name, String description, Path folder, boolean hasIcon, List<String> mimeTypes,
            String category) {
        final Path executable = folder.resolve(name);
        return "[Desktop Entry]\n"
                + "Type=Application\n"
                + "Name=" + string(name) + "\n"
                + (description != null ? "Comment=" + string(description) + "\n" : "")
                + "Exec=" + string(execArgument(executable.toString())) + (mimeTypes.isEmpty() ? " %F" : " %f") + "\n"
                + (hasIcon ? "Icon=" + string(folder.resolve(name + ".png").toString()) + "\n" : "")
                + (mimeTypes.isEmpty() ? "" : "MimeType=" + String.join(";", mimeTypes) + ";\n")
                + (category != null ? "Categories=" + string(category.replaceFirst(";$", "")) + ";\n" : "")
                + "Terminal=false\n";
    }

    /** Whether `text` is menu categories as a .desktop entry lists them: names separated by ;, one may end it. */
    static boolean isCategoryList(String text) {
        return text.matches("[A-Za-z0-9-]+(;[A-Za-z0-9-]+)*;?");
    }

    /**
     * An Exec argument, quoted where it must be, with its reserved characters escaped; a literal % is %%
     * inside quotes or not, as the desktop would read a field code otherwise.
     */
    static String execArgument(String text) {
        final String percentEscaped = text.replace("%", "%%");
        if (!text.matches("(?s).*[ \\t\\n\"'\\\\><~|&;$*?#()`].*")) {
            return percentEscaped;
        }
        return "\"" + percentEscaped.replaceAll("([\"`$\\\\])", "\\\\$1") + "\"";
    }

    /** A value of type string: backslashes and line breaks escaped. */
    static String string(String text) {
        return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t").replace("\r", "\\r");
    }
}
