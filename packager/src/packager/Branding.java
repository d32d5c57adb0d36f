package packager;

import java.io.IOException;
import java.nio.file.Files;

/**
 * The product's own resources in its copy of the Windows launcher: the icon, and the version resource with
 * the product's name, version, vendor, description and copyright, as the CMake build of a branded launcher
 * makes them. The manifest and everything else stay as they are.
 */
final class Branding {
    private Branding() {
    }

    /** Whether the options ask for the Windows launcher to be branded. */
    static boolean isAsked(Options options) {
        return options.icon != null || options.appVersion != null || options.vendor != null
                || options.description != null || options.copyright != null;
    }

    /**
     * The bytes of `launcherFile` branded as the launcher `name` (the main one, or an extra launcher with its own
     * description, version and icon); one that cannot be branded is refused, saying why.
     */
    static byte[] brand(Plan plan, java.nio.file.Path launcherFile, String name, String description, String appVersion,
            java.nio.file.Path iconFile) throws Stop {
        final Options options = plan.options;
        final String executableName = name + plan.target.executableSuffix;
        final byte[] launcher;
        try {
            launcher = Files.readAllBytes(launcherFile);
        } catch (IOException unreadable) {
            throw Stop.refused("--launcher " + Text.quote(launcherFile) + " cannot be read: " + Text.describe(unreadable));
        }
        final IconFile icon = iconFile == null ? null : IconFile.read(iconFile);
        try {
            final PeImage image = new PeImage(launcher);
            if (image.isSigned()) {
                throw Stop.refused("--launcher " + Text.quote(launcherFile) + " is signed, and branding it would break the "
                        + "signature: package with the unsigned launcher, then sign " + executableName
                        + " (scripts/sign.sh)");
            }
            final PeImage.Section section = image.resourceSection();
            if (section == null) {
                throw new IllegalArgumentException("it has no resource section");
            }
            final PeResources resources = PeResources.read(image.sectionBytes(section), section.virtualAddress);
            final byte[] versionData = resources.get(PeResources.VERSION, 1);
            if (versionData == null) {
                throw new IllegalArgumentException("it has no version resource");
            }
            final int language = resources.languageOf(PeResources.VERSION);
            final VersionResource version = VersionResource.read(versionData);
            if (appVersion != null) {
                version.fileVersion = VersionResource.parseNumbers(appVersion);
                version.productVersion = version.fileVersion.clone();
            }
            final String fileVersion = appVersion != null ? appVersion
                    : version.strings.getOrDefault("FileVersion", "");
            final String productVersion = appVersion != null ? appVersion
                    : version.strings.getOrDefault("ProductVersion", fileVersion);
            final String vendor = options.vendor != null ? options.vendor
                    : version.strings.getOrDefault("CompanyName", "");
            final String copyright = options.copyright != null ? options.copyright
                    : version.strings.getOrDefault("LegalCopyright", "");
            version.strings.clear();
            version.strings.put("CompanyName", vendor);
            version.strings.put("FileDescription", description != null ? description : name);
            version.strings.put("FileVersion", fileVersion);
            version.strings.put("InternalName", name);
            version.strings.put("LegalCopyright", copyright);
            version.strings.put("OriginalFilename", executableName);
            version.strings.put("ProductName", name);
            version.strings.put("ProductVersion", productVersion);
            if (!version.fits()) {
                throw Stop.refused(whyTooLong(version, options, name));
            }
            resources.put(PeResources.VERSION, 1, language, version.toBytes());
            if (icon != null) {
                // The first icon group is the one Explorer, the taskbar and shortcuts show.
                resources.removeType(PeResources.ICON);
                resources.removeType(PeResources.GROUP_ICON);
                for (int i = 0; i < icon.images.size(); ++i) {
                    resources.put(PeResources.ICON, i + 1, language, icon.images.get(i));
                }
                resources.put(PeResources.GROUP_ICON, 1, language, icon.group(1));
            }
            return image.withResources(resources.layOut(section.virtualAddress));
        } catch (IllegalArgumentException cannotBrand) {
            throw Stop.refused("--launcher " + Text.quote(launcherFile) + " cannot be branded: " + cannotBrand.getMessage()
                    + "; give a Windows x64 launcher of this release");
        }
    }

    /**
     * Which option's text the version resource cannot hold, and how long it may be with the others as they
     * are (the name, in three of its strings, is only named).
     */
    static String whyTooLong(VersionResource version, Options options, String name) {
        final String[][] texts = {{"--name", "ProductName", name}, {"--vendor", "CompanyName", options.vendor},
                {"--description", "FileDescription", options.description},
                {"--copyright", "LegalCopyright", options.copyright}};
        String[] longest = texts[0];
        for (final String[] text : texts) {
            if (text[2] != null && text[2].length() > longest[2].length()) {
                longest = text;
            }
        }
        final int most = longest == texts[0] ? 0 : version.mostCharacters(longest[1]);
        return longest[0] + " has " + longest[2].length() + " characters, and the executable's version resource "
                + "holds all its texts in " + VersionResource.MAX_BYTES + " bytes, two a character (its lengths are "
                + "16 bits): " + (most > 0 ? "with the other texts as they are, it can have at most " + most
                        + "; shorten it" : "shorten it, or the other texts");
    }

    /** A version as Windows holds it: one to four numbers, each at most 65535; null when it is one. */
    static String whyNotAVersion(String text) {
        if (!text.matches("[0-9]{1,5}(\\.[0-9]{1,5}){0,3}")) {
            return "is not one to four numbers separated by dots, such as 2.1 or 1.2.3.4";
        }
        for (final String number : text.split("\\.")) {
            if (Integer.parseInt(number) > 65535) {
                return "has the number " + number + ", and Windows holds each number in 16 bits: at most 65535";
            }
        }
        return null;
    }
}
