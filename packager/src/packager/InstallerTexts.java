package packager;

import java.util.ArrayList;
import java.util.List;

/**
 * The options an installer or a menu entry writes as a line of text: the Debian package's control, copyright
 * and changelog files, the RPM's spec file, a .desktop entry, the MSI source. A line break there would add fields of the user's
 * choosing, and an empty value leaves a field without one, so either is refused, naming the option.
 */
final class InstallerTexts {
    private InstallerTexts() {
    }

    /** One option, its value (null: not given) and where it is written. */
    private record Written(String option, String value, String where) {
    }

    static void check(Plan plan) throws Stop {
        for (final Written text : written(plan)) {
            if (text.value == null) {
                continue;
            }
            if (text.value.isBlank()) {
                throw Stop.refused(text.option + " is empty, and it is " + text.where + ": give a value, or leave the "
                        + "option out");
            }
            if (text.value.codePoints().anyMatch(Text::breaksALine)) {
                throw Stop.refused(text.option + " holds a line break or another control character, and it is one "
                        + "line of text, " + text.where + ": give it on one line");
            }
        }
        if (plan.isDeb() && plan.options.linuxDebMaintainer != null) {
            final String why = DebianContact.whyNotAContact(plan.options.linuxDebMaintainer);
            if (why != null) {
                throw Stop.refused("--linux-deb-maintainer " + plan.options.linuxDebMaintainer + " " + why);
            }
        }
    }

    private static List<Written> written(Plan plan) {
        final Options options = plan.options;
        final List<Written> texts = new ArrayList<>();
        if (plan.isDeb()) {
            texts.add(new Written("--vendor", options.vendor, "the name in the package's Maintainer field"));
            texts.add(new Written("--description", options.description, "the package's Description"));
            texts.add(new Written("--copyright", options.copyright, "the package's copyright notice"));
            texts.add(new Written("--install-dir", options.installDir, "the folder the package installs to"));
            texts.add(new Written("--linux-deb-maintainer", options.linuxDebMaintainer,
                    "the address in the package's Maintainer field"));
            texts.add(new Written("--linux-app-category", options.linuxAppCategory, "the package's Section"));
        } else if (plan.isRpm()) {
            texts.add(new Written("--vendor", options.vendor, "the package's Vendor"));
            texts.add(new Written("--description", options.description, "the package's Summary"));
            texts.add(new Written("--install-dir", options.installDir, "the folder the package installs to"));
            texts.add(new Written("--linux-app-category", options.linuxAppCategory, "the package's Group"));
            texts.add(new Written("--linux-rpm-license-type", options.linuxRpmLicenseType, "the package's License"));
        } else if (plan.isMsi()) {
            texts.add(new Written("--vendor", options.vendor, "the package's Manufacturer"));
            texts.add(new Written("--description", options.description, "the package's comment"));
            texts.add(new Written("--install-dir", options.installDir, "the folder the package installs"));
            texts.add(new Written("--win-menu-group", options.winMenuGroup, "the Start-menu folder's name"));
            texts.add(new Written("--about-url", options.aboutUrl, "the home page in Add/Remove Programs"));
            texts.add(new Written("--win-help-url", options.winHelpUrl, "the support link in Add/Remove Programs"));
            texts.add(new Written("--win-update-url", options.winUpdateUrl, "the update link in Add/Remove Programs"));
        } else if (plan.target == Target.LINUX && options.icon != null) {
            texts.add(new Written("--description", options.description, "the comment of the .desktop entry"));
        }
        if (plan.isLinuxPackage()) {
            texts.add(new Written("--about-url", options.aboutUrl, "the package's home page"));
            for (final String dependency : options.linuxPackageDeps) {
                texts.add(new Written("--linux-package-deps", dependency, "an entry of what the package needs"));
            }
        }
        return texts;
    }
}
