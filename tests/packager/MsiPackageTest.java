package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.UUID;
import java.util.stream.Stream;
import javax.xml.parsers.DocumentBuilderFactory;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;
import org.w3c.dom.Document;
import org.w3c.dom.Element;
import org.w3c.dom.NodeList;

/** The WiX source of a small folder, read back as XML: texts, folders, components, document types, upgrade codes. */
class MsiPackageTest {
    @TempDir
    Path temp;

    static Plan plan(String name, String vendor) {
        final Options options = new Options();
        options.type = "msi";
        options.vendor = vendor;
        final Plan plan = new Plan(options);
        plan.name = name;
        plan.target = Target.WINDOWS;
        plan.msiVersion = "1.2.3";
        plan.installDir = name;
        plan.upgradeCode = MsiPackage.derivedUpgradeCode(vendor, name);
        return plan;
    }

    /** The source of the folder NAME.exe, lib/app.jar and an empty plugins/, as an XML document. */
    Document source(Plan plan) throws Exception {
        final Path folder = Files.createDirectories(temp.resolve("app"));
        Files.writeString(folder.resolve(plan.executableName()), "MZ");
        Files.writeString(Files.createDirectories(folder.resolve("lib")).resolve("app.jar"), "PK");
        Files.createDirectories(folder.resolve("plugins"));
        final String text = MsiPackage.source(plan, folder);
        return DocumentBuilderFactory.newInstance().newDocumentBuilder()
                .parse(new ByteArrayInputStream(text.getBytes(StandardCharsets.UTF_8)));
    }

    private static List<Element> elements(Document document, String tag) {
        final NodeList nodes = document.getElementsByTagName(tag);
        final List<Element> elements = new ArrayList<>();
        for (int i = 0; i < nodes.getLength(); ++i) {
            elements.add((Element) nodes.item(i));
        }
        return elements;
    }

    private static Element only(Document document, String tag) {
        final List<Element> elements = elements(document, tag);
        assertEquals(1, elements.size(), tag);
        return elements.get(0);
    }

    /** The registry values under Software\Classes: key, or key|name, to value. */
    private static Map<String, String> classes(Document document) {
        final Map<String, String> values = new LinkedHashMap<>();
        for (final Element value : elements(document, "RegistryValue")) {
            final String key = value.getAttribute("Key");
            if (key.startsWith("Software\\Classes\\")) {
                values.put(key.substring(17) + (value.hasAttribute("Name") ? "|" + value.getAttribute("Name") : ""),
                        value.getAttribute("Value"));
            }
        }
        return values;
    }

    /**
     * Texts with XML's and WiX's own characters, as the source must hold them: XML-escaped, "$" doubled for the
     * preprocessor, and [ ] { } escaped where a field is formatted (a shortcut's target, a registry key).
     */
    static Stream<Arguments> texts() {
        return Stream.of(
                Arguments.of("Viewer", "Acme", "Views plans", "Viewer", "[INSTALLDIR]Viewer.exe", "Software\\Acme\\Viewer"),
                Arguments.of("A&B <C> \"D\"", "O'Brien & Sons", "<b>x</b> & \"y\"", "A&B <C> \"D\"",
                        "[INSTALLDIR]A&B <C> \"D\".exe", "Software\\O'Brien & Sons\\A&B <C> \"D\""),
                Arguments.of("Price [1] {x}", "Acme\\Labs", "[INSTALLDIR] {braces}", "Price [1] {x}",
                        "[INSTALLDIR]Price [\\[]1[\\]] [\\{]x[\\}].exe", "Software\\Acme_Labs\\Price [\\[]1[\\]] [\\{]x[\\}]"),
                Arguments.of("Dollar $HOME", "Acme $x", "costs $5", "Dollar $$HOME", "[INSTALLDIR]Dollar $$HOME.exe",
                        "Software\\Acme $$x\\Dollar $$HOME"),
                Arguments.of("Caf\u00e9 Z\u00fcrich", "Soci\u00e9t\u00e9 G\u00e9n\u00e9rale", "\u00c9conomie \u00a9",
                        "Caf\u00e9 Z\u00fcrich", "[INSTALLDIR]Caf\u00e9 Z\u00fcrich.exe",
                        "Software\\Soci\u00e9t\u00e9 G\u00e9n\u00e9rale\\Caf\u00e9 Z\u00fcrich"));
    }

    @ParameterizedTest
    @MethodSource("texts")
    void writesTextsAsWixReadsThem(String name, String vendor, String description, String wixName, String target,
            String keyPathKey) throws Exception {
        final Plan plan = plan(name, vendor);
        plan.options.description = description;
        plan.options.winMenuGroup = vendor;
        plan.options.winShortcut = true;
        final Document document = source(plan);

        final Element product = only(document, "Product");
        assertEquals(wixName, product.getAttribute("Name"));
        assertEquals(vendor.replace("$", "$$"), product.getAttribute("Manufacturer"));
        assertEquals(description.replace("$", "$$"), only(document, "Package").getAttribute("Comments"));
        final List<Element> shortcuts = elements(document, "Shortcut");
        assertEquals(2, shortcuts.size());
        for (final Element shortcut : shortcuts) {
            assertEquals(wixName, shortcut.getAttribute("Name"));
            assertEquals(target, shortcut.getAttribute("Target"));
        }
        assertEquals(vendor.replace("$", "$$"), elements(document, "Directory").stream()
                .filter(d -> d.getAttribute("Id").equals("MenuGroupFolder")).findFirst().orElseThrow().getAttribute("Name"));
        for (final Element value : elements(document, "RegistryValue")) {
            assertEquals(keyPathKey, value.getAttribute("Key"));
        }
    }

    @Test
    void installsEachFileOnceInComponentsOfStableGuids() throws Exception {
        final Plan plan = plan("Viewer", "Acme");
        plan.installDir = "Acme\\Viewer";
        final Document document = source(plan);

        final Map<String, String> files = new LinkedHashMap<>();
        elements(document, "File").forEach(file -> files.put(file.getAttribute("Source"), file.getAttribute("Name")));
        assertEquals(Map.of("app/Viewer.exe", "Viewer.exe", "app/lib/app.jar", "app.jar"), files);
        final List<String> created = new ArrayList<>();
        elements(document, "CreateFolder").forEach(folder -> created.add(((Element) folder.getParentNode().getParentNode())
                .getAttribute("Name")));
        assertEquals(List.of("plugins"), created, "an empty folder is installed as one");
        final Element parent = elements(document, "Directory").stream()
                .filter(d -> d.getAttribute("Id").equals("InstallParent0")).findFirst().orElseThrow();
        assertEquals("Acme", parent.getAttribute("Name"));
        assertEquals("LocalAppDataFolder", ((Element) parent.getParentNode().getParentNode()).getAttribute("Id"));

        final List<String> components = new ArrayList<>();
        final List<String> guids = new ArrayList<>();
        for (final Element component : elements(document, "Component")) {
            components.add(component.getAttribute("Id"));
            guids.add(component.getAttribute("Guid"));
            assertEquals("HKCU", ((Element) component.getElementsByTagName("RegistryValue").item(0)).getAttribute("Root"));
        }
        assertEquals(components.size(), new HashSet<>(guids).size(), "a GUID of its own for each component");
        assertEquals(new HashSet<>(components), new HashSet<>(elements(document, "ComponentRef").stream()
                .map(ref -> ref.getAttribute("Id")).toList()), "the feature installs every component");
        assertEquals(guids, elements(source(plan), "Component").stream().map(c -> c.getAttribute("Guid")).toList(),
                "the same GUIDs when made again");
        plan.upgradeCode = UUID.randomUUID();
        final List<String> others = elements(source(plan), "Component").stream().map(c -> c.getAttribute("Guid")).toList();
        assertTrue(others.stream().noneMatch(guids::contains), "another product's components are its own");
    }

    @Test
    void installsPerMachineUnderProgramFilesWithTheMachinesRegistry() throws Exception {
        final Plan plan = plan("Viewer", null);
        plan.options.winPerMachineInstall = true;
        final Document document = source(plan);
        assertEquals("perMachine", only(document, "Package").getAttribute("InstallScope"));
        assertEquals("ProgramFiles64Folder", ((Element) elements(document, "Directory").stream()
                .filter(d -> d.getAttribute("Id").equals("INSTALLDIR")).findFirst().orElseThrow().getParentNode())
                .getAttribute("Id"));
        assertTrue(elements(document, "RegistryValue").stream().allMatch(v -> v.getAttribute("Root").equals("HKLM")));
        assertEquals("Software\\Viewer", elements(document, "RegistryValue").get(0).getAttribute("Key"));
    }

    @Test
    void registersEachDocumentTypeUnderItsProgId() throws Exception {
        final Plan plan = plan("My App", "Acme");
        plan.fileAssociations = List.of(
                new FileAssociation("plan", "application/x-my-app-plan", "A [plan]", temp.resolve("plan.ico")),
                new FileAssociation("txt", "text/plain", "Text", null));
        final Map<String, String> classes = classes(source(plan));
        assertEquals(Map.of(
                ".plan", "MyApp.plan",
                ".plan|Content Type", "application/x-my-app-plan",
                "MyApp.plan", "A [\\[]plan[\\]]",
                "MyApp.plan\\DefaultIcon", "[INSTALLDIR]My App.plan.ico",
                "MyApp.plan\\shell\\open\\command", "\"[INSTALLDIR]My App.exe\" \"%1\"",
                ".txt", "MyApp.txt",
                ".txt|Content Type", "text/plain",
                "MyApp.txt", "Text",
                "MyApp.txt\\DefaultIcon", "[INSTALLDIR]My App.exe,0",
                "MyApp.txt\\shell\\open\\command", "\"[INSTALLDIR]My App.exe\" \"%1\""), classes);
    }

    /**
     * Each launcher gets the shortcuts it asks for, or the main launcher's when it asks nothing: its own name,
     * description, executable and icon; all of a menu group in that group.
     */
    @Test
    void givesEachLauncherItsOwnShortcuts() throws Exception {
        final Plan plan = plan("Editor", "Acme");
        plan.options.winMenu = true;
        plan.options.winMenuGroup = "Acme";
        plan.extraLaunchers = List.of(
                ExtraLauncher.parse("editor-cli", "--add-launcher", "description=Batch\nwin-shortcut=true"),
                ExtraLauncher.parse("hidden", "--add-launcher", "win-menu=false"));
        final Path folder = Files.createDirectories(temp.resolve("app"));
        Files.writeString(folder.resolve("editor-cli.exe"), "MZ");
        Files.writeString(folder.resolve("hidden.exe"), "MZ");
        final Document document = source(plan);
        final Map<String, String> shortcuts = new LinkedHashMap<>();
        for (final Element shortcut : elements(document, "Shortcut")) {
            shortcuts.put(((Element) shortcut.getParentNode().getParentNode()).getAttribute("Id") + "/"
                    + shortcut.getAttribute("Name"), shortcut.getAttribute("Target") + " "
                    + shortcut.getAttribute("Description") + " " + shortcut.getAttribute("Icon"));
        }
        assertEquals(Map.of(
                "MenuGroupFolder/Editor", "[INSTALLDIR]Editor.exe  ProductIcon.exe",
                "MenuGroupFolder/editor-cli", "[INSTALLDIR]editor-cli.exe Batch LauncherIcon1.exe",
                "DesktopFolder/editor-cli", "[INSTALLDIR]editor-cli.exe Batch LauncherIcon1.exe"), shortcuts);
        final Map<String, String> icons = new LinkedHashMap<>();
        for (final Element icon : elements(document, "Icon")) {
            icons.put(icon.getAttribute("Id"), icon.getAttribute("SourceFile"));
        }
        assertEquals(Map.of("ProductIcon.exe", "app/Editor.exe", "LauncherIcon1.exe", "app/editor-cli.exe"), icons);
    }

    /** --about-url, --win-help-url and --win-update-url as jpackage writes them, and the licence beside the executable. */
    @Test
    void namesTheProductsLinksAndInstallsItsLicence() throws Exception {
        final Plan plan = plan("Viewer", "Acme");
        final List<String> links = List.of("ARPURLINFOABOUT", "ARPHELPLINK", "ARPURLUPDATEINFO");
        final Document without = source(plan);
        assertTrue(elements(without, "Property").stream().noneMatch(p -> links.contains(p.getAttribute("Id"))));
        assertTrue(elements(without, "File").stream().noneMatch(f -> f.getAttribute("Id").equals("LicenseFile")));

        plan.options.aboutUrl = "https://example.com/viewer";
        plan.options.winHelpUrl = "https://example.com/help?a=1&cost=$5";
        plan.options.winUpdateUrl = "ftp://example.com/updates";
        plan.options.licenseFile = temp.resolve("legal").resolve("COPYING.rtf");
        final Document document = source(plan);
        final Map<String, String> properties = new LinkedHashMap<>();
        elements(document, "Property").forEach(p -> properties.put(p.getAttribute("Id"), p.getAttribute("Value")));
        assertEquals(List.of("https://example.com/viewer", "https://example.com/help?a=1&cost=$$5",
                "ftp://example.com/updates"), links.stream().map(properties::get).toList());
        final Element license = elements(document, "File").stream()
                .filter(f -> f.getAttribute("Id").equals("LicenseFile")).findFirst().orElseThrow();
        assertEquals(List.of("COPYING.rtf", "license/COPYING.rtf"), List.of(license.getAttribute("Name"),
                license.getAttribute("Source")));
        final Element component = (Element) license.getParentNode();
        assertEquals("INSTALLDIR", ((Element) component.getParentNode()).getAttribute("Id"));
        assertTrue(elements(document, "ComponentRef").stream()
                .anyMatch(ref -> ref.getAttribute("Id").equals(component.getAttribute("Id"))), "installed by the feature");
    }

    /** What Checks refuses of the links, the licence file and jpackage's dialogs, for the MSI of a made folder. */
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
        "--win-dir-chooser|--win-dir-chooser asks for an installer dialog in which the user chooses the folder it "
                + "installs to, and wixl cannot make installer dialogs",
        "--win-shortcut-prompt|--win-shortcut-prompt asks for an installer dialog in which the user chooses the "
                + "shortcuts it makes, and wixl cannot make installer dialogs",
        "--type deb --win-help-url https://example.com/help|--win-help-url is for a Windows Installer package: give "
                + "--type msi with it",
        "--about-url example.com|--about-url example.com is not a web address: give an absolute URL",
        "--win-update-url file:///C:/updates|--win-update-url file:///C:/updates is not a web address",
        "--win-help-url https://example.com/$(topic)|--win-help-url https://example.com/$(topic) cannot be held by "
                + "the package: wixl writes its texts",
        "--win-update-url https://example.com/\u0142|--win-update-url https://example.com/\u0142 cannot be held by "
                + "the package",
        "--license-file TEMP/absent.txt|absent.txt\" does not exist; give the file of the product's licence",
        "--license-file TEMP/Config.JSON|is installed in the program's folder as Config.JSON, where \"config.json\" of "
                + "--app-image",
        "--license-file TEMP/LICENSE$$.txt|is installed in the program's folder as LICENSE$$.txt, a name the package "
                + "cannot hold"})
    void refusesLinksLicencesAndDialogsItCannotHold(String options, String message) throws Exception {
        final Path folder = Files.createDirectories(temp.resolve("Viewer"));
        Files.write(folder.resolve("Viewer.exe"), new byte[] {'M', 'Z', 0});
        Files.writeString(folder.resolve("config.json"), "{}");
        Files.writeString(folder.resolve(Plan.MARKER), AppImage.marker("Viewer"));
        Files.writeString(temp.resolve("Config.JSON"), "licence");
        Files.writeString(temp.resolve("LICENSE$$.txt"), "licence");
        final List<String> arguments = new ArrayList<>(List.of("--type", "msi", "--dest", temp.resolve("out").toString(),
                "--app-image", folder.toString()));
        for (final String word : options.split(" ")) {
            arguments.add(word.replace("TEMP/", temp + "/"));
        }
        final Stop stop = assertThrows(Stop.class, () -> Checks.check(Options.parse(arguments.toArray(String[]::new))
                .orElseThrow()));
        assertEquals(Stop.REFUSED, stop.status);
        assertTrue(stop.getMessage().contains(message), stop.getMessage());
    }

    /**
     * Each launcher run as a service: its executable alone in a component whose key path it is (the service's
     * program), installed as a service of its own process that starts with the machine, started on
     * installation, stopped on upgrade and removal, removed on removal; named after the product (and the
     * launcher); no shortcut for it, the others' shortcuts as asked.
     */
    @Test
    void installsEachServiceWithItsExecutableAsItsComponentsKeyPath() throws Exception {
        final Plan plan = plan("My App", "Acme");
        plan.options.winPerMachineInstall = true;
        plan.options.launcherAsService = true;
        plan.options.description = "Serves [plans]";
        plan.options.winMenuGroup = "Acme";
        plan.extraLaunchers = List.of(ExtraLauncher.parse("worker", "--add-launcher", "description=Works"),
                ExtraLauncher.parse("console", "--add-launcher", "launcher-as-service=false"));
        final Path folder = Files.createDirectories(temp.resolve("app"));
        Files.writeString(folder.resolve("worker.exe"), "MZ");
        Files.writeString(folder.resolve("console.exe"), "MZ");
        final Document document = source(plan);
        final Map<String, String> services = new LinkedHashMap<>();
        for (final Element install : elements(document, "ServiceInstall")) {
            final Element component = (Element) install.getParentNode();
            final Element file = (Element) component.getElementsByTagName("File").item(0);
            assertEquals(1, component.getElementsByTagName("File").getLength(), "the executable alone");
            assertEquals(0, component.getElementsByTagName("RegistryValue").getLength());
            final List<String> controls = new ArrayList<>();
            final NodeList controlElements = component.getElementsByTagName("ServiceControl");
            for (int i = 0; i < controlElements.getLength(); i++) {
                final Element control = (Element) controlElements.item(i);
                controls.add(String.join("/", control.getAttribute("Name"), control.getAttribute("Start"),
                        control.getAttribute("Stop"), control.getAttribute("Remove"), control.getAttribute("Wait")));
            }
            services.put(install.getAttribute("Name"), String.join("|", file.getAttribute("Name"),
                    file.getAttribute("KeyPath"), install.getAttribute("DisplayName"),
                    install.getAttribute("Description"), install.getAttribute("Type"), install.getAttribute("Start"),
                    String.join(" ", controls)));
        }
        // Started not waiting for it to run (a program that ends at once leaves the package installed); stopped
        // and removed waiting. The Services list shows the product's name with an extra launcher's, which no
        // other product's service shows.
        assertEquals(Map.of(
                "My App", "My App.exe|yes|My App|Serves [\\[]plans[\\]]|ownProcess|auto"
                        + "|My App/install///no My App//both/uninstall/yes",
                "My App-worker", "worker.exe|yes|My App worker|Works|ownProcess|auto"
                        + "|My App-worker/install///no My App-worker//both/uninstall/yes"),
                services);
        assertEquals(List.of("app/My App.exe", "app/console.exe", "app/lib/app.jar", "app/worker.exe"),
                elements(document, "File").stream().map(f -> f.getAttribute("Source")).sorted().toList(),
                "each file once");
        assertEquals(List.of("console"), elements(document, "Shortcut").stream().map(s -> s.getAttribute("Name"))
                .toList(), "a shortcut for the launcher that is no service only");
    }

    /**
     * The upgrade code without --win-upgrade-uuid: the MD5 name-based UUID of "VENDOR/NAME". Every version
     * must derive the same one, or an upgrade would install beside the old version: these are the codes the
     * packages made so far carry.
     */
    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "Acme|Viewer|{B33C711C-AD25-34D9-9784-CE699749D72F}",
        "|Viewer|{3357F0E3-48B3-32EF-8733-DA7E298C5C4B}",
        "Acme S\u00f6hne|Pr\u00fcfer|{AA8A706B-0549-3143-BB8A-F80146970BCD}"})
    void derivesTheSameUpgradeCodeForEveryVersion(String vendor, String name, String guid) {
        final UUID code = MsiPackage.derivedUpgradeCode(vendor, name);
        assertEquals(guid, MsiPackage.guid(code));
        assertEquals(3, code.version());
        assertEquals(code, MsiPackage.derivedUpgradeCode(vendor == null ? "" : vendor, name));
        assertNotEquals(code, MsiPackage.derivedUpgradeCode(vendor + "x", name));
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', nullValues = "none", value = {
        "b33c711c-ad25-34d9-9784-ce699749d72f|b33c711c-ad25-34d9-9784-ce699749d72f",
        "{B33C711C-AD25-34D9-9784-CE699749D72F}|b33c711c-ad25-34d9-9784-ce699749d72f",
        "{b33c711c-ad25-34d9-9784-ce699749d72f|none",
        "b33c711c-ad25-34d9-9784-ce699749d72|none",
        "b33c711cad2534d99784ce699749d72f|none",
        "g33c711c-ad25-34d9-9784-ce699749d72f|none",
        "1-1-1-1-1|none"})
    void readsAnUpgradeUuidWithOrWithoutBraces(String text, String uuid) {
        assertEquals(Optional.ofNullable(uuid).map(UUID::fromString), MsiPackage.parseGuid(text));
    }

    @ParameterizedTest
    @CsvSource({"1.2.3, 1.2.4", "1.2.65535, 1.3.0", "1.255.65535, 2.0.0", "255.255.65535, 255.255.65535", "0.0.0, 0.0.1"})
    void findsTheLeastVersionAbove(String version, String above) {
        assertEquals(above, MsiPackage.versionAbove(version));
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', nullValues = "none", value = {
        "1|none", "255.255.65535.65535|none",
        "256.0|has the major version 256, and Windows Installer holds at most 255 there (major and minor at most 255, "
                + "build at most 65535)",
        "1.256|has the minor version 256, and Windows Installer holds at most 255 there (major and minor at most 255, "
                + "build at most 65535)",
        "1.2.65536|has the number 65536, and Windows holds each number in 16 bits: at most 65535",
        "1.2.3.4.5|is not one to four numbers separated by dots, such as 2.1 or 1.2.3.4",
        "1.x|is not one to four numbers separated by dots, such as 2.1 or 1.2.3.4"})
    void refusesAVersionWindowsInstallerCannotHold(String version, String why) {
        assertEquals(why, MsiPackage.whyNotAVersion(version));
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {"Caf\u00e9 \u00a9 \u20ac|true", "\u65e5\u672c|false", "a$(b)|false",
        "a$$b|false", "a $b|true"})
    void holdsOnlyWhatItsCodePageAndPreprocessorCan(String text, boolean held) {
        assertEquals(held, MsiPackage.canHold(text));
    }
}
