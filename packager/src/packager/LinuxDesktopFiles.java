package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * What a Linux package installs for the desktop: the menu entry, the document types and their icons, in
 * /usr/share where every desktop looks, named after the package.
 */
final class LinuxDesktopFiles {
    private LinuxDesktopFiles() {
    }

    /** Writes them below `root`, the installed files' root; returns their paths there, none when not asked. */
    static java.util.List<String> write(Plan plan, Path root) throws IOException {
        final java.util.List<String> written = new java.util.ArrayList<>();
        if (plan.options.linuxShortcut || !plan.fileAssociations.isEmpty()) {
            final Path entry = root.resolve("usr/share/applications/" + plan.linuxPackageName + ".desktop");
            Files.createDirectories(entry.getParent());
            plan.resources.write(entry, ResourceDir.desktopEntry(plan.name), DesktopEntry.of(plan, Path.of(plan.installDir)));
            written.add("/" + root.relativize(entry));
        }
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            if (ExtraLaunchers.linuxShortcut(plan, launcher)) {
                final Path entry = root.resolve("usr/share/applications/" + DebPackage.desktopFileName(plan, launcher));
                Files.createDirectories(entry.getParent());
                plan.resources.write(entry, ResourceDir.desktopEntry(launcher.name),
                        DesktopEntry.of(plan, launcher, Path.of(plan.installDir)));
                written.add("/" + root.relativize(entry));
            }
        }
        if (!plan.fileAssociations.isEmpty()) {
            final StringBuilder mime = new StringBuilder("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    + "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n");
            for (final FileAssociation association : plan.fileAssociations) {
                mime.append("  <mime-type type=\"").append(xml(association.mimeType())).append("\">\n")
                        .append("    <comment>").append(xml(association.description())).append("</comment>\n")
                        .append("    <glob pattern=\"*.").append(association.extension()).append("\"/>\n")
                        .append("  </mime-type>\n");
            }
            for (final FileAssociation association : plan.fileAssociations) {
                if (association.icon() != null) {
                    // Where the desktop looks for a type's icon: named as the type, "/" made "-".
                    final int size = FileAssociation.squarePngSize(association.icon());
                    final Path icon = root.resolve("usr/share/icons/hicolor/" + size + "x" + size + "/mimetypes/"
                            + association.mimeType().replace('/', '-') + ".png");
                    Files.createDirectories(icon.getParent());
                    Files.copy(association.icon(), icon);
                    written.add("/" + root.relativize(icon));
                }
            }
            final Path types = root.resolve("usr/share/mime/packages/" + plan.linuxPackageName + ".xml");
            Files.createDirectories(types.getParent());
            Files.writeString(types, mime.append("</mime-info>\n"), StandardCharsets.UTF_8);
            written.add("/" + root.relativize(types));
        }
        return written;
    }

    private static String xml(String text) {
        return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace("\"", "&quot;");
    }
}
