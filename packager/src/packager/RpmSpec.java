package packager;

import java.util.List;
import java.util.Map;

/**
 * The spec file rpmbuild builds the RPM from. The files are laid out in the build root before rpmbuild runs,
 * so the spec only names them: no sources, no build and no install step. Every text is escaped for rpm's
 * macros (% is %%), and rpm's own generator finds the libraries the ELF files need.
 *
 * @param heldLibraries the names of the libraries the package holds itself, which are no dependency
 * @param filesOutside the files installed outside the folder (the menu entry, document types, icons), as paths
 * @param licenseFile the name of the licence file in rpmbuild's build folder; null: none
 * @param scriptlets shell scripts by section (%post, %preun, %postun), written in that order; empty: none
 */
record RpmSpec(Plan plan, List<String> heldLibraries, List<String> filesOutside, String licenseFile,
        Map<String, String> scriptlets) {
    private static final List<String> SCRIPTLET_SECTIONS = List.of("%pre", "%post", "%preun", "%postun");

    /** The spec file's text. */
    String text() {
        final Options options = plan.options;
        final StringBuilder spec = new StringBuilder();
        field(spec, "Name", plan.linuxPackageName);
        field(spec, "Version", plan.packageVersion());
        field(spec, "Release", plan.rpmRelease());
        field(spec, "Summary", options.description != null ? options.description
                : "Desktop program with its own Java runtime");
        field(spec, "License", options.linuxRpmLicenseType != null ? options.linuxRpmLicenseType : "Unknown");
        field(spec, "Vendor", options.vendor);
        field(spec, "URL", options.aboutUrl);
        field(spec, "Group", options.linuxAppCategory != null ? options.linuxAppCategory
                : "Applications/Productivity");
        field(spec, "Packager", packager(plan));
        field(spec, "BuildArch", plan.rpmArchitecture);
        for (final String dependency : options.linuxPackageDeps) {
            field(spec, "Requires", dependency);
        }
        // The files go in as they are: signed jars and the launcher byte for byte, no debug package or build-id
        // links, and no dependency on, nor offer of, the libraries the folder holds for itself.
        spec.append("%global debug_package %{nil}\n")
                .append("%global __os_install_post %{nil}\n")
                .append("%global _build_id_links none\n")
                // The licence in /usr/share/licenses/PACKAGE, as Fedora puts it, whatever the host's rpm does.
                .append("%global _docdir_fmt %%{NAME}\n")
                .append("%global __provides_exclude_from ^").append(macroRegex(plan.installDir)).append("/.*$\n");
        if (!heldLibraries.isEmpty()) {
            spec.append("%global __requires_exclude ^(").append(String.join("|",
                    heldLibraries.stream().map(RpmSpec::macroRegex).toList())).append(")\\\\(\n");
        }
        spec.append("\n%description\n").append(escaped(DebPackage.wrapped(plan.name + ", a Java program with its "
                + "own Java runtime, installed in " + plan.installDir + ".").lines().map(String::strip)
                .collect(java.util.stream.Collectors.joining("\n")))).append('\n');
        for (final String section : SCRIPTLET_SECTIONS) {
            final String script = scriptlets.get(section);
            if (script != null) {
                spec.append('\n').append(section).append('\n').append(escaped(script.strip())).append('\n');
            }
        }
        spec.append("\n%files\n%defattr(-,root,root,-)\n").append(quoted(plan.installDir)).append('\n');
        for (final String file : filesOutside) {
            spec.append(quoted(file)).append('\n');
        }
        if (licenseFile != null) {
            spec.append("%license ").append(quoted(licenseFile)).append('\n');
        }
        spec.append("\n%changelog\n* ").append(CHANGELOG_DATE.format(java.time.LocalDate.now(java.time.ZoneOffset.UTC)))
                .append(' ').append(escaped(packager(plan))).append(" - ")
                .append(plan.packageVersion()).append('-').append(plan.rpmRelease()).append("\n- ")
                .append(escaped(plan.name)).append(' ').append(plan.packageVersion()).append(".\n");
        return spec.toString();
    }

    private static final java.time.format.DateTimeFormatter CHANGELOG_DATE =
            java.time.format.DateTimeFormatter.ofPattern("EEE MMM dd yyyy", java.util.Locale.ROOT);

    /** Who made the package: --vendor (else the product's name) and an address no mail reaches, as a contact. */
    private static String packager(Plan plan) {
        return DebianContact.of(plan.options.vendor != null ? plan.options.vendor : plan.name, null);
    }

    private static void field(StringBuilder spec, String name, String value) {
        if (value != null) {
            spec.append(name).append(": ").append(escaped(value)).append('\n');
        }
    }

    /** Text rpm reads as it is: a % would start a macro. */
    static String escaped(String text) {
        return text.replace("%", "%%");
    }

    /** A name in the list of files, in quotes, which keep its spaces. */
    private static String quoted(String path) {
        return "\"" + escaped(path) + "\"";
    }

    /**
     * `text` matched literally by the extended regular expression a macro holds: each special character after a
     * backslash, doubled as the macro's definition takes it.
     */
    static String macroRegex(String text) {
        return escaped(text).replaceAll("([.\\[\\]{}()*+?^$|\\\\])", "\\\\\\\\$1");
    }
}
