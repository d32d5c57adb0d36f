package packager;

import java.nio.file.Path;
import java.util.List;

/** A freedesktop.org entry that starts the launcher where the folder runs from. */
final class DesktopEntry {
    private DesktopEntry() {
    }

    /** The entry of the folder where it runs from; with document types, one document (%f) at a time. */
    static String of(Plan plan, Path folder) {
        final Path executable = folder.resolve(plan.name);
        final List<String> mimeTypes = plan.fileAssociations.stream().map(FileAssociation::mimeType).toList();
        return "[Desktop Entry]\n"
                + "Type=Application\n"
                + "Name=" + string(plan.name) + "\n"
                + (plan.options.description != null ? "Comment=" + string(plan.options.description) + "\n" : "")
                + "Exec=" + string(execArgument(executable.toString())) + (mimeTypes.isEmpty() ? " %F" : " %f") + "\n"
                + (plan.hasLinuxIcon() ? "Icon=" + string(folder.resolve(plan.name + ".png").toString()) + "\n"
                        : "")
                + (mimeTypes.isEmpty() ? "" : "MimeType=" + String.join(";", mimeTypes) + ";\n")
                + "Terminal=false\n";
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
