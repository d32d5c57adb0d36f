package packager;

import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Optional;
import java.util.UUID;
import java.util.stream.Stream;

/**
 * A Windows Installer package that installs the application folder: the packager writes its WiX source and
 * builds it with wixl (msitools) or WiX 3's candle and light. It installs per user, into
 * %LOCALAPPDATA%\Programs with no administrator rights, or per machine under Program Files; every version
 * shares the upgrade code, so that installing one removes the version installed before.
 */
final class MsiPackage {
    /** The code page of the package's database: wixl writes every text in it, and mangles what it lacks. */
    private static final Charset CODE_PAGE = Charset.forName("windows-1252");

    private static final String ICON = "ProductIcon.exe";
    /** Where the work folder holds the copy of --license-file that the package installs. */
    private static final String LICENSE_FOLDER = "license";

    private MsiPackage() {
    }

    /** Why Windows Installer cannot hold a version (major and minor at most 255, build at most 65535); or null. */
    static String whyNotAVersion(String version) {
        final String why = Branding.whyNotAVersion(version);
        if (why != null) {
            return why;
        }
        final String[] numbers = version.split("\\.");
        final String[] names = {"major version", "minor version"};
        for (int i = 0; i < Math.min(2, numbers.length); ++i) {
            if (Integer.parseInt(numbers[i]) > 255) {
                return "has the " + names[i] + " " + numbers[i] + ", and Windows Installer holds at most 255 there "
                        + "(major and minor at most 255, build at most 65535)";
            }
        }
        return null;
    }

    /** A UUID written as 8-4-4-4-12 hexadecimal digits, in braces or not. */
    static Optional<UUID> parseGuid(String text) {
        final String bare = text.matches("\\{.*}") ? text.substring(1, text.length() - 1) : text;
        if (!bare.matches("[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}")) {
            return Optional.empty();
        }
        return Optional.of(UUID.fromString(bare));
    }

    /**
     * The upgrade code of a product with no --win-upgrade-uuid: the name-based (MD5, version 3) UUID of the
     * UTF-8 text "VENDOR/NAME" (VENDOR empty without --vendor), the same for every version.
     */
    static UUID derivedUpgradeCode(String vendor, String name) {
        return UUID.nameUUIDFromBytes(((vendor == null ? "" : vendor) + "/" + name).getBytes(StandardCharsets.UTF_8));
    }

    /** A GUID as Windows Installer writes it: upper case, in braces. */
    static String guid(UUID uuid) {
        return "{" + uuid.toString().toUpperCase(Locale.ROOT) + "}";
    }

    /** wixl, or else WiX 3's candle and light, as found on PATH; empty when neither is. */
    static Optional<List<Path>> findTools() {
        final Optional<Path> wixl = ExecutablePath.find("wixl");
        if (wixl.isPresent()) {
            return Optional.of(List.of(wixl.get()));
        }
        final Optional<Path> candle = ExecutablePath.find("candle");
        final Optional<Path> light = ExecutablePath.find("light");
        return candle.isPresent() && light.isPresent() ? Optional.of(List.of(candle.get(), light.get()))
                : Optional.empty();
    }

    /**
     * Moves the folder in `staging` into `root`, writes the package's source there and builds it into `partial`.
     */
    static void write(Plan plan, Path staging, Path root, Path partial) throws IOException, Stop {
        final Path folder = root.resolve("app");
        Files.move(staging, folder);
        Files.delete(folder.resolve(Plan.MARKER));  // the installer replaces its files itself
        if (plan.options.licenseFile != null) {
            Files.copy(plan.options.licenseFile, Files.createDirectory(root.resolve(LICENSE_FOLDER))
                    .resolve(plan.options.licenseFile.getFileName().toString()));
        }
        plan.resources.write(root.resolve("product.wxs"), ResourceDir.WIX_SOURCE, source(plan, folder));
        FileTrees.writeWhole(partial, file -> {
            if (plan.msiTools.size() == 1) {
                build(plan.msiTools.get(0), root, "-a", "x64", "-o", file.toString(), "product.wxs");
            } else {
                build(plan.msiTools.get(0), root, "-nologo", "-arch", "x64", "-out", "product.wixobj", "product.wxs");
                // -sval: the source is tested with wixl; whether it passes WiX's validation suite is untested.
                build(plan.msiTools.get(1), root, "-nologo", "-sval", "-out", "product.msi", "product.wixobj");
                Files.move(root.resolve("product.msi"), file);  // an .msi name, as light may expect of a package
            }
            if (!Files.isRegularFile(file)) {
                throw Stop.failed(plan.msiTools.get(plan.msiTools.size() - 1).getFileName() + " made no package; "
                        + "nothing was left behind");
            }
        });
    }

    /** Runs a tool in `root`; a failure quotes what it said, without GLib's warnings about itself. */
    private static void build(Path tool, Path root, String... arguments) throws Stop {
        final List<String> command = new ArrayList<>(List.of(tool.toString()));
        command.addAll(List.of(arguments));
        final ChildProcess.Result result;
        try {
            result = ChildProcess.run(command, root);
        } catch (IOException cannotRun) {
            throw Stop.failed("cannot run " + Text.quote(tool) + ": " + Text.describe(cannotRun));
        } catch (InterruptedException interrupted) {
            Thread.currentThread().interrupt();
            throw Stop.failed(tool.getFileName() + " was interrupted; nothing was left behind");
        }
        if (result.status() != 0) {
            final List<String> said = (result.errors() + "\n" + result.output()).lines().map(String::strip)
                    .filter(line -> !line.isEmpty() && !line.matches("\\(\\w+:\\d+\\): GLib.*")).toList();
            throw Stop.failed(tool.getFileName() + " failed (status " + result.status() + "): "
                    + (said.isEmpty() ? "it said nothing" : String.join(" / ", said)) + "; nothing was left behind");
        }
    }

    /** An extra launcher's icon in the package (Windows Installer takes an icon's kind from its id's ending). */
    private static String extraIconId(Plan plan, ExtraLauncher launcher) {
        return "LauncherIcon" + (plan.extraLaunchers.indexOf(launcher) + 1) + ".exe";
    }

    /** The icons of the extra launchers that have a shortcut: each its executable's own. */
    private static String extraIcons(Plan plan) {
        final StringBuilder icons = new StringBuilder();
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            if (ExtraLaunchers.winMenu(plan, launcher) || ExtraLaunchers.winShortcut(plan, launcher)) {
                icons.append("    <Icon Id=\"").append(extraIconId(plan, launcher)).append("\" SourceFile=")
                        .append(attribute("app/" + launcher.executableName(plan.target))).append("/>\n");
            }
        }
        return icons.toString();
    }

    /** The WiX source of the package of `folder`, whose files it names relative to its parent. */
    static String source(Plan plan, Path folder) throws IOException {
        final Options options = plan.options;
        final boolean perMachine = options.winPerMachineInstall;
        final String upgradeCode = guid(plan.upgradeCode);
        final String version3 = firstThree(plan.msiVersion);
        final Wxs wxs = new Wxs(plan);
        final StringBuilder out = new StringBuilder();
        out.append("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n")
                .append("<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n")
                .append("  <Product Id=\"*\" Name=").append(attribute(plan.name)).append(" Language=\"1033\" Version=")
                .append(attribute(plan.msiVersion)).append(" Manufacturer=")
                .append(attribute(options.vendor != null ? options.vendor : plan.name)).append(" UpgradeCode=\"")
                .append(upgradeCode).append("\">\n")
                .append("    <Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"")
                .append(perMachine ? "perMachine" : "perUser").append("\" Description=")
                .append(attribute(plan.name + " " + plan.msiVersion))
                .append(options.description != null ? " Comments=" + attribute(options.description) : "").append("/>\n")
                .append("    <Media Id=\"1\" Cabinet=\"product.cab\" EmbedCab=\"yes\"/>\n")
                // Every older version, and this one built again, is removed before this one is installed.
                .append("    <Upgrade Id=\"").append(upgradeCode).append("\">\n")
                .append("      <UpgradeVersion Minimum=\"0.0.0\" IncludeMinimum=\"yes\" Maximum=\"")
                .append(versionAbove(version3)).append("\" IncludeMaximum=\"no\" Property=\"OLDERVERSIONFOUND\"/>\n")
                .append("      <UpgradeVersion Minimum=\"").append(version3)
                .append("\" IncludeMinimum=\"no\" OnlyDetect=\"yes\" Property=\"NEWERVERSIONFOUND\"/>\n")
                .append("    </Upgrade>\n")
                .append("    <Condition Message=").append(attribute("A newer version of " + plan.name
                        + " is installed; uninstall it first to install this one."))
                .append(">NOT NEWERVERSIONFOUND OR Installed</Condition>\n")
                .append("    <InstallExecuteSequence><RemoveExistingProducts After=\"InstallValidate\"/>"
                        + "</InstallExecuteSequence>\n")
                .append("    <Icon Id=\"").append(ICON).append("\" SourceFile=")
                .append(attribute("app/" + plan.executableName())).append("/>\n")
                .append(extraIcons(plan))
                .append("    <Property Id=\"ARPPRODUCTICON\" Value=\"").append(ICON).append("\"/>\n")
                .append("    <Property Id=\"ARPNOMODIFY\" Value=\"1\"/>\n")
                .append(property("ARPCOMMENTS", options.description))
                .append(property("ARPURLINFOABOUT", options.aboutUrl))
                .append(property("ARPHELPLINK", options.winHelpUrl))
                .append(property("ARPURLUPDATEINFO", options.winUpdateUrl))
                .append("    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n");
        wxs.installFolder(out, folder);
        // With --launcher-as-service, the menu group is the extra launchers'.
        final boolean mainMenu = !options.launcherAsService && (options.winMenu || options.winMenuGroup != null);
        final List<ExtraLauncher> inMenu = plan.extraLaunchers.stream()
                .filter(launcher -> ExtraLaunchers.winMenu(plan, launcher)).toList();
        final List<ExtraLauncher> onDesktop = plan.extraLaunchers.stream()
                .filter(launcher -> ExtraLaunchers.winShortcut(plan, launcher)).toList();
        if (mainMenu || !inMenu.isEmpty()) {
            out.append("      <Directory Id=\"ProgramMenuFolder\">\n");
            final String group = options.winMenuGroup != null ? "MenuGroupFolder" : null;
            if (group != null) {
                out.append("        <Directory Id=\"MenuGroupFolder\" Name=").append(attribute(options.winMenuGroup))
                        .append(">\n");
            }
            if (mainMenu) {
                wxs.shortcut(out, "MenuShortcut", group);
            }
            for (final ExtraLauncher launcher : inMenu) {
                wxs.shortcut(out, "MenuShortcut" + (plan.extraLaunchers.indexOf(launcher) + 1), group, launcher);
            }
            if (group != null) {
                out.append("        </Directory>\n");
            }
            out.append("      </Directory>\n");
        }
        if (options.winShortcut || !onDesktop.isEmpty()) {
            out.append("      <Directory Id=\"DesktopFolder\">\n");
            if (options.winShortcut) {
                wxs.shortcut(out, "DesktopShortcut", null);
            }
            for (final ExtraLauncher launcher : onDesktop) {
                wxs.shortcut(out, "DesktopShortcut" + (plan.extraLaunchers.indexOf(launcher) + 1), null, launcher);
            }
            out.append("      </Directory>\n");
        }
        out.append("    </Directory>\n    <Feature Id=\"Complete\" Level=\"1\">\n");
        for (final String component : wxs.components) {
            out.append("      <ComponentRef Id=\"").append(component).append("\"/>\n");
        }
        return out.append("    </Feature>\n  </Product>\n</Wix>\n").toString();
    }

    /** A property of the package that Add/Remove Programs shows; none when not given. */
    private static String property(String id, String value) {
        return value == null ? "" : "    <Property Id=\"" + id + "\" Value=" + attribute(value) + "/>\n";
    }

    /** The parts of the source that name components, which the feature then lists. */
    private static final class Wxs {
        final Plan plan;
        final boolean perMachine;
        /** Where the package writes: the user's registry, or the machine's. */
        final String registryRoot;
        /** The key of the components' key paths. */
        final String keyPathKey;
        final List<String> components = new ArrayList<>();
        int files;
        int folders;

        Wxs(Plan plan) {
            this.plan = plan;
            this.perMachine = plan.options.winPerMachineInstall;
            this.registryRoot = perMachine ? "HKLM" : "HKCU";
            final String vendor = plan.options.vendor;
            this.keyPathKey = "Software\\" + (vendor != null ? vendor.replace('\\', '_') + "\\" : "") + plan.name;
        }

        /**
         * The folders above INSTALLDIR, then the folder's own tree, each folder's component after those of the
         * folders inside it: Windows Installer removes folders in that order, and a folder only once empty.
         * Each folder above has a component that removes it (wixl removes only the folder a component is in).
         */
        void installFolder(StringBuilder out, Path folder) throws IOException {
            final String[] parts = plan.installDir.split("\\\\");
            out.append(perMachine ? "      <Directory Id=\"ProgramFiles64Folder\">\n"
                    : "      <Directory Id=\"LocalAppDataFolder\">\n<Directory Id=\"ProgramsFolder\" Name=\"Programs\">\n");
            for (int i = 0; i < parts.length - 1; ++i) {
                out.append("<Directory Id=\"InstallParent").append(i).append("\" Name=").append(attribute(parts[i]))
                        .append(">\n");
            }
            out.append("<Directory Id=\"INSTALLDIR\" Name=").append(attribute(parts[parts.length - 1])).append(">\n");
            tree(out, folder, folder, "INSTALLDIR");
            licenseFile(out);
            out.append("</Directory>\n");
            for (int i = parts.length - 2; i >= 0; --i) {
                component(out, "Folder_InstallParent" + i, String.join("\\", List.of(parts).subList(0, i + 1)),
                        "InstallParent" + i);
                out.append("</Component>\n</Directory>\n");
            }
            out.append(perMachine ? "      </Directory>\n" : "</Directory>\n      </Directory>\n");
        }

        /** --license-file, beside the executable under its own name; no dialog shows it (wixl makes none). */
        private void licenseFile(StringBuilder out) {
            final Path license = plan.options.licenseFile;
            if (license == null) {
                return;
            }
            final String name = license.getFileName().toString();
            // Its GUID is made of "license/NAME": the folders above INSTALLDIR have names without a "/".
            component(out, "LicenseFile", LICENSE_FOLDER + "/" + name, null);
            out.append("  <File Id=\"LicenseFile\" Name=").append(attribute(name)).append(" Source=")
                    .append(attribute(LICENSE_FOLDER + "/" + name)).append("/>\n</Component>\n");
        }

        /** One folder: its subfolders, then one component for its own files. */
        private void tree(StringBuilder out, Path top, Path directory, String id) throws IOException {
            final List<Path> entries;
            try (Stream<Path> list = Files.list(directory)) {
                entries = list.sorted().toList();
            }
            for (final Path entry : entries) {
                if (Files.isDirectory(entry)) {
                    final String childId = "Folder" + ++folders;
                    out.append("<Directory Id=\"").append(childId).append("\" Name=")
                            .append(attribute(entry.getFileName().toString())).append(">\n");
                    tree(out, top, entry, childId);
                    out.append("</Directory>\n");
                }
            }
            final String relative = Text.slashed(top.relativize(directory));
            component(out, "Files_" + id, "app/" + relative, id);
            final List<MsiServices.Service> services = directory.equals(top) ? MsiServices.of(plan) : List.of();
            if (directory.equals(top)) {
                associations(out);
            }
            for (final Path entry : entries) {
                final String name = entry.getFileName().toString();
                if (Files.isRegularFile(entry) && services.stream().noneMatch(s -> s.executable().equals(name))) {
                    out.append("  <File Id=\"File").append(++files).append("\" Name=")
                            .append(attribute(entry.getFileName().toString())).append(" Source=")
                            .append(attribute("app/" + Text.slashed(top.relativize(entry))))
                            .append("/>\n");
                }
            }
            // An empty folder is installed too. Only one: Wine then keeps the folder around it on removal.
            try (Stream<Path> below = Files.walk(directory)) {
                if (below.noneMatch(Files::isRegularFile)) {
                    out.append("  <CreateFolder/>\n");
                }
            }
            out.append("</Component>\n");
            for (final MsiServices.Service service : services) {
                service(out, service);
            }
        }

        /**
         * A service's executable in a component of its own, whose key path it is: Windows Installer installs the
         * key path of the component that holds the service as the service's program. It is started once installed,
         * stopped before an upgrade or removal replaces it, and removed with the package.
         */
        private void service(StringBuilder out, MsiServices.Service service) {
            final int number = components.size() + 1;
            final String id = "Service" + number;
            final UUID componentGuid = UUID.nameUUIDFromBytes((guid(plan.upgradeCode) + "/service/" + service.name())
                    .getBytes(StandardCharsets.UTF_8));
            final String name = attribute(formatted(service.name()));
            out.append("<Component Id=\"").append(id).append("\" Guid=\"").append(guid(componentGuid))
                    .append("\" Win64=\"yes\">\n")
                    .append("  <File Id=\"ServiceFile").append(number).append("\" Name=")
                    .append(attribute(service.executable())).append(" Source=")
                    .append(attribute("app/" + service.executable())).append(" KeyPath=\"yes\"/>\n")
                    .append("  <ServiceInstall Id=\"ServiceInstall").append(number).append("\" Name=").append(name)
                    .append(" DisplayName=").append(attribute(formatted(service.displayName())))
                    .append(" Description=").append(attribute(formatted(service.description())))
                    .append(" Type=\"ownProcess\" Start=\"auto\" ErrorControl=\"normal\"/>\n")
                    // Started without waiting for it to run: a program that ends at once (it needs configuring
                    // first) stops its service, and the package is still installed.
                    .append("  <ServiceControl Id=\"ServiceStart").append(number).append("\" Name=").append(name)
                    .append(" Start=\"install\" Wait=\"no\"/>\n")
                    .append("  <ServiceControl Id=\"ServiceControl").append(number).append("\" Name=").append(name)
                    .append(" Stop=\"both\" Remove=\"uninstall\" Wait=\"yes\"/>\n")
                    .append("</Component>\n");
            components.add(id);
        }

        /**
         * A component: its key path a registry value (what Windows Installer asks of a component in a user's
         * profile), and the folder `removedFolder` (if not null) removed when uninstalled, if nothing of the
         * user's is left in it.
         */
        private String component(StringBuilder out, String id, String what, String removedFolder) {
            final UUID componentGuid = UUID.nameUUIDFromBytes((guid(plan.upgradeCode) + "/" + registryRoot + "/" + what)
                    .getBytes(StandardCharsets.UTF_8));
            out.append("<Component Id=\"").append(id).append("\" Guid=\"").append(guid(componentGuid))
                    .append("\" Win64=\"yes\">\n")
                    .append("  <RegistryValue Root=\"").append(registryRoot).append("\" Key=")
                    .append(attribute(formatted(keyPathKey))).append(" Name=\"").append(id)
                    .append("\" Type=\"integer\" Value=\"1\" KeyPath=\"yes\"/>\n");
            if (removedFolder != null) {
                out.append("  <RemoveFolder Id=\"Remove").append(id).append("\" Directory=\"").append(removedFolder)
                        .append("\" On=\"uninstall\"/>\n");
            }
            components.add(id);
            return id;
        }

        /** The document types, each opened by the executable with the document's path as its one argument. */
        private void associations(StringBuilder out) {
            final String executable = "[INSTALLDIR]" + formatted(plan.executableName());
            for (final FileAssociation association : plan.fileAssociations) {
                final String progId = progId(plan.name, association.extension());
                registry(out, "." + association.extension(), null, progId);
                registry(out, "." + association.extension(), "Content Type", association.mimeType());
                registry(out, progId, null, formatted(association.description()));
                registry(out, progId + "\\DefaultIcon", null, association.icon() == null ? executable + ",0"
                        : "[INSTALLDIR]" + formatted(association.iconFileName(plan.name)));
                registry(out, progId + "\\shell\\open\\command", null, "\"" + executable + "\" \"%1\"");
            }
        }

        private void registry(StringBuilder out, String classKey, String name, String value) {
            out.append("  <RegistryValue Root=\"").append(registryRoot).append("\" Key=")
                    .append(attribute("Software\\Classes\\" + classKey))
                    .append(name != null ? " Name=" + attribute(name) : "").append(" Type=\"string\" Value=")
                    .append(attribute(value)).append("/>\n");
        }

        /** A shortcut to the executable, with its icon; its own folder, a menu group, removed with it. */
        void shortcut(StringBuilder out, String id, String ownFolder) {
            shortcut(out, id, ownFolder, plan.name, plan.options.description, plan.executableName(), ICON);
        }

        /** A shortcut to an extra launcher, with its own name, description and icon. */
        void shortcut(StringBuilder out, String id, String ownFolder, ExtraLauncher launcher) {
            shortcut(out, id, ownFolder, launcher.name, ExtraLaunchers.descriptionOf(plan, launcher),
                    launcher.executableName(plan.target), extraIconId(plan, launcher));
        }

        private void shortcut(StringBuilder out, String id, String ownFolder, String name, String description,
                String executable, String icon) {
            // The Start menu and the desktop themselves are not the package's to remove.
            component(out, "Component" + id, id, ownFolder);
            out.append("  <Shortcut Id=\"").append(id).append("\" Name=").append(attribute(name))
                    .append(description != null ? " Description=" + attribute(description) : "")
                    .append(" Target=").append(attribute("[INSTALLDIR]" + formatted(executable)))
                    .append(" WorkingDirectory=\"INSTALLDIR\" Icon=\"").append(icon).append("\"/>\n")
                    .append("</Component>\n");
        }
    }

    /**
     * A document type's ProgId, NAME.EXTENSION as Windows asks of one: at most 39 characters, letters and
     * digits and the dot, not starting with a digit. NAME is the ASCII letters and digits of the product's name
     * (App when none is left), cut to leave room for the extension; an extension above 30 characters keeps
     * 22 and a hash of the whole. Extensions that differ (letter case aside) give different ProgIds.
     */
    static String progId(String productName, String extension) {
        String stem = productName.replaceAll("[^A-Za-z0-9]", "").replaceFirst("^[0-9]+", "");
        if (stem.isEmpty()) {
            stem = "App";
        }
        final String suffix = extension.length() <= 30 ? extension : extension.substring(0, 22)
                + String.format("%08X", extension.toLowerCase(Locale.ROOT).hashCode());
        return stem.substring(0, Math.min(stem.length(), 38 - suffix.length())) + "." + suffix;
    }

    /** A text in a formatted field, where [ ] { } would be read as property references: each escaped. */
    static String formatted(String text) {
        return text.replaceAll("([\\[\\]{}])", "[\\\\$1]");
    }

    /** An XML attribute value, quoted, with "$" as WiX's preprocessor reads it: "$$". */
    private static String attribute(String text) {
        return "\"" + text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace("\"", "&quot;")
                .replace("$", "$$") + "\"";
    }

    /**
     * Whether the package can hold a text: in its database's code page, and without "$(" or "$$", which wixl's
     * preprocessor reads as a variable or mangles, whatever their escape.
     */
    static boolean canHold(String text) {
        return CODE_PAGE.newEncoder().canEncode(text) && !text.contains("$(") && !text.contains("$$");
    }

    /** major.minor.build, the part of a version Windows Installer compares. */
    private static String firstThree(String version) {
        final String[] numbers = (version + ".0.0").split("\\.");
        return numbers[0] + "." + numbers[1] + "." + numbers[2];
    }

    /** The least version above major.minor.build; the highest there is when none is. */
    static String versionAbove(String version3) {
        final String[] text = version3.split("\\.");
        final int major = Integer.parseInt(text[0]);
        final int minor = Integer.parseInt(text[1]);
        final int build = Integer.parseInt(text[2]);
        return build < 65535 ? major + "." + minor + "." + (build + 1)
                : minor < 255 ? major + "." + (minor + 1) + ".0"
                : major < 255 ? (major + 1) + ".0.0" : "255.255.65535";
    }
}
