package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.OutputStream;
import java.lang.module.Configuration;
import java.lang.module.ModuleDescriptor;
import java.lang.module.ModuleFinder;
import java.lang.module.ResolvedModule;
import java.net.URI;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.stream.Collectors;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import javax.tools.FileObject;
import javax.tools.ForwardingJavaFileManager;
import javax.tools.JavaCompiler;
import javax.tools.JavaFileManager;
import javax.tools.JavaFileObject;
import javax.tools.SimpleJavaFileObject;
import javax.tools.ToolProvider;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** The constant-pool scan, on a class compiled here for each row that uses one entry point alone. */
class ModuleScanTest {
    private static final String LOCALE_DATA = ModuleScan.LOCALE_DATA;

    static Stream<Arguments> uses() {
        return Stream.of(
                Arguments.of("String.format(\"%d\", 1)", LOCALE_DATA),
                Arguments.of("\"%d\".formatted(1)", LOCALE_DATA),
                Arguments.of("System.out.printf(\"%d\", 1)", LOCALE_DATA),
                Arguments.of("System.out.format(\"%d\", 1)", LOCALE_DATA),
                Arguments.of("new java.io.PrintWriter(System.out, true).printf(\"%,.2f%n\", 1234567.891)", LOCALE_DATA),
                Arguments.of("new java.io.PrintWriter(System.out, true).format(\"%d\", 1)", LOCALE_DATA),
                Arguments.of("System.console().printf(\"%d\", 1)", LOCALE_DATA),
                Arguments.of("System.console().format(\"%d\", 1)", LOCALE_DATA),
                Arguments.of("System.console().readLine(\"%s?\", \"name\")", LOCALE_DATA),
                Arguments.of("new java.util.Formatter().format(\"%d\", 1)", LOCALE_DATA),
                Arguments.of("java.text.NumberFormat.getInstance().format(1)", LOCALE_DATA),
                Arguments.of("java.time.format.DateTimeFormatter.ISO_DATE.hashCode()", LOCALE_DATA),
                Arguments.of("java.util.Calendar.getInstance()", LOCALE_DATA),
                Arguments.of("new java.util.Scanner(System.in).nextDouble()", LOCALE_DATA),
                Arguments.of("java.util.TimeZone.getDefault().getDisplayName()", LOCALE_DATA),
                Arguments.of("java.util.logging.Logger.getLogger(\"x\").info(\"y\")", LOCALE_DATA),
                Arguments.of("System.getLogger(\"x\")", LOCALE_DATA),
                Arguments.of("new java.text.SimpleDateFormat(\"EEEE\")", LOCALE_DATA),
                Arguments.of("java.text.MessageFormat.format(\"{0,number}\", 1)", LOCALE_DATA),
                Arguments.of("java.text.DecimalFormatSymbols.getInstance()", LOCALE_DATA),
                Arguments.of("java.time.format.DateTimeFormatter.ofPattern(\"EEEE\")", LOCALE_DATA),
                Arguments.of("java.util.Locale.getDefault()", LOCALE_DATA),
                Arguments.of("java.util.Currency.getInstance(\"EUR\")", LOCALE_DATA),
                Arguments.of("new java.util.GregorianCalendar()", LOCALE_DATA),
                Arguments.of("new java.util.Date().toLocaleString()", LOCALE_DATA),
                Arguments.of("javax.tools.ToolProvider.getSystemJavaCompiler()", "jdk.compiler"),
                Arguments.of("javax.tools.ToolProvider.getSystemDocumentationTool()", "jdk.javadoc"),
                Arguments.of("java.util.spi.ToolProvider.findFirst(\"javac\")", "jdk.compiler"),
                Arguments.of("java.util.spi.ToolProvider.findFirst(\"jar\")", "jdk.jartool"),
                Arguments.of("javax.management.remote.JMXConnectorFactory.newJMXConnector(null, null)",
                        "java.management.rmi"),
                Arguments.of("new javax.security.auth.login.LoginContext(\"x\")", "jdk.security.auth"),
                Arguments.of("Class.forName(\"sun.misc.Unsafe\")", "jdk.unsupported"),
                Arguments.of("System.out.println(\"plain \" + 1)", null),
                Arguments.of("new java.io.PrintWriter(System.out).println(1.5)", null),
                Arguments.of("System.out.println(\"x\".toUpperCase() + Integer.toString(1234567) + 1.5)", null),
                Arguments.of("System.out.println(java.time.LocalDate.now())", null),
                Arguments.of("java.util.spi.ToolProvider.findFirst(System.getProperty(\"tool\"))", null));
    }

    @ParameterizedTest
    @MethodSource("uses")
    void findsTheModuleAnEntryPointNeeds(String statement, String module) throws Exception {
        final ModuleScan.Findings findings = ModuleScan.scanClass(compile(statement));
        assertEquals(module == null ? Set.of() : Set.of(module), findings.modules(), statement);
    }

    static Stream<Arguments> loaders() {
        return Stream.of(
                Arguments.of("Class.forName(\"java.lang.String\")", false),
                Arguments.of("Class.forName(\"x.Y\", false, Probe.class.getClassLoader())", false),
                // Past 255 constants a name is pushed by ldc_w, whose index takes two bytes.
                Arguments.of("String[] many = {" + IntStream.range(0, 300).mapToObj(i -> "\"c" + i + "\"")
                        .collect(Collectors.joining(", ")) + "}; Class.forName(\"x.Y\")", false),
                Arguments.of("Probe.class.getClassLoader().loadClass(\"x.Y\")", false),
                Arguments.of("Class.forName(\"java.net.\" + System.getProperty(\"name\"))", true),
                Arguments.of("Probe.class.getClassLoader().loadClass(System.getProperty(\"name\"))", true),
                Arguments.of("java.lang.invoke.MethodHandles.lookup().findClass(System.getProperty(\"name\"))", true),
                Arguments.of("new java.net.URLClassLoader(new java.net.URL[0])", true),
                // Both switch forms before the call: the scan walks every instruction's length.
                Arguments.of("switch ((int) System.nanoTime()) { case 1: case 2: case 3: break; default: } "
                        + "switch ((int) System.nanoTime()) { case 1: case 1000: break; default: } "
                        + "Class.forName(System.getProperty(\"name\"))", true));
    }

    @ParameterizedTest
    @MethodSource("loaders")
    void seesClassesLoadedByNamesTheProgramBuilds(String statement, boolean builds) throws Exception {
        assertEquals(builds, ModuleScan.scanClass(compile(statement)).loadsByBuiltNames(), statement);
    }

    @Test
    void whatCannotBeReadGetsTheLocaleData() {
        final byte[] truncated = {(byte) 0xCA, (byte) 0xFE, (byte) 0xBA, (byte) 0xBE, 0, 0, 0, 61, 0, 9, 1};
        assertTrue(ModuleScan.scanClass(truncated).modules().contains(LOCALE_DATA));
    }

    @Test
    void defaultModulesAreThoseJavaResolvesForJpackage() {
        final Map<String, ModuleDescriptor> system = new TreeMap<>();
        ModuleFinder.ofSystem().findAll().forEach(module -> system.put(module.descriptor().name(), module.descriptor()));
        final Set<String> roots = system.values().stream()
                .filter(descriptor -> descriptor.exports().stream().anyMatch(export -> !export.isQualified()))
                .map(ModuleDescriptor::name).collect(Collectors.toSet());
        final Set<String> resolved = Configuration.empty().resolveAndBind(ModuleFinder.ofSystem(), ModuleFinder.of(), roots)
                .modules().stream().map(ResolvedModule::name).collect(Collectors.toSet());
        assertEquals(resolved, JavaRuntime.defaultModules(system));
    }

    /** Each row's class file, compiled in one go. */
    private static Map<String, byte[]> classFiles;

    /** The class file of `class ProbeN { static void run() throws Exception { STATEMENT; } }`. */
    private static synchronized byte[] compile(String statement) {
        if (classFiles == null) {
            classFiles = compileAll(Stream.concat(uses(), loaders()).map(row -> (String) row.get()[0]).distinct().toList());
        }
        return classFiles.get(statement);
    }

    private static Map<String, byte[]> compileAll(List<String> statements) {
        final JavaCompiler compiler = ToolProvider.getSystemJavaCompiler();
        final Map<String, ByteArrayOutputStream> outputs = new TreeMap<>();
        final JavaFileManager files = new ForwardingJavaFileManager<JavaFileManager>(
                compiler.getStandardFileManager(null, null, null)) {
            @Override
            public JavaFileObject getJavaFileForOutput(Location location, String className, JavaFileObject.Kind kind,
                    FileObject sibling) {
                return new SimpleJavaFileObject(URI.create("mem:///" + className + ".class"), kind) {
                    @Override
                    public OutputStream openOutputStream() {
                        return outputs.computeIfAbsent(className, name -> new ByteArrayOutputStream());
                    }
                };
            }
        };
        final List<JavaFileObject> units = new java.util.ArrayList<>();
        for (int i = 0; i < statements.size(); ++i) {
            final String source = "class Probe" + i + " { @SuppressWarnings(\"all\") static void run() throws Exception { "
                    + statements.get(i).replace("Probe.class", "Probe" + i + ".class") + "; } }";
            units.add(new SimpleJavaFileObject(URI.create("mem:///Probe" + i + ".java"), JavaFileObject.Kind.SOURCE) {
                @Override
                public CharSequence getCharContent(boolean ignoreEncodingErrors) {
                    return source;
                }
            });
        }
        assertTrue(compiler.getTask(null, files, null, List.of("-proc:none", "-nowarn"), null, units).call());
        final Map<String, byte[]> classes = new java.util.HashMap<>();
        for (int i = 0; i < statements.size(); ++i) {
            classes.put(statements.get(i), outputs.get("Probe" + i).toByteArray());
        }
        return classes;
    }
}
