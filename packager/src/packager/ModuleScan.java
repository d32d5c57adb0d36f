package packager;

import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

/**
 * What jdeps cannot see in the jars: the JDK modules a class reaches through java.base's API (the locale data
 * behind every formatting entry point) or by name (the compiler behind javax.tools.ToolProvider), and whether
 * it loads classes by names it builds, as language runtimes and plugin loaders do. Read from each class file's
 * constant pool: the classes, methods and string constants it names.
 */
final class ModuleScan {
    private ModuleScan() {
    }

    static final String LOCALE_DATA = "jdk.localedata";

    /**
     * A use that needs a module: a package ("java/text/"), a class and its nested classes ("java/util/Locale"), or
     * a method or field ("java/io/PrintWriter.printf"); with a string constant the same class must hold (a tool's
     * name), or null.
     */
    record Use(String named, String literal, String module) {
        Use(String named, String module) {
            this(named, null, module);
        }
    }

    /** Every use, one row each. */
    static final List<Use> USES = List.of(
            // The locale data: everything that formats or parses text for a locale other than English.
            new Use("java/text/", LOCALE_DATA),
            new Use("java/time/format/", LOCALE_DATA),
            new Use("java/time/temporal/WeekFields", LOCALE_DATA),
            new Use("java/time/DayOfWeek.getDisplayName", LOCALE_DATA),
            new Use("java/time/Month.getDisplayName", LOCALE_DATA),
            new Use("java/time/ZoneId.getDisplayName", LOCALE_DATA),
            new Use("java/time/temporal/ChronoField.getDisplayName", LOCALE_DATA),
            new Use("java/time/temporal/TemporalField.getDisplayName", LOCALE_DATA),
            new Use("java/time/chrono/Chronology.getDisplayName", LOCALE_DATA),
            new Use("java/util/Formatter", LOCALE_DATA),
            new Use("java/util/Locale", LOCALE_DATA),
            new Use("java/util/Calendar", LOCALE_DATA),
            new Use("java/util/GregorianCalendar", LOCALE_DATA),
            new Use("java/util/Scanner", LOCALE_DATA),
            new Use("java/util/Currency", LOCALE_DATA),
            new Use("java/util/TimeZone.getDisplayName", LOCALE_DATA),
            new Use("java/util/Date.toLocaleString", LOCALE_DATA),
            new Use("java/lang/String.format", LOCALE_DATA),
            new Use("java/lang/String.formatted", LOCALE_DATA),
            new Use("java/io/PrintStream.printf", LOCALE_DATA),
            new Use("java/io/PrintStream.format", LOCALE_DATA),
            new Use("java/io/PrintWriter.printf", LOCALE_DATA),
            new Use("java/io/PrintWriter.format", LOCALE_DATA),
            new Use("java/io/Console.printf", LOCALE_DATA),
            new Use("java/io/Console.format", LOCALE_DATA),
            new Use("java/io/Console.readLine", LOCALE_DATA),
            new Use("java/io/Console.readPassword", LOCALE_DATA),
            // Log records carry their date as the month's name in the default locale.
            new Use("java/util/logging/", LOCALE_DATA),
            new Use("java/lang/System.getLogger", LOCALE_DATA),
            new Use("java/lang/System$Logger", LOCALE_DATA),
            // Tools and providers found by name.
            new Use("javax/tools/ToolProvider.getSystemJavaCompiler", "jdk.compiler"),
            new Use("javax/tools/ToolProvider.getSystemDocumentationTool", "jdk.javadoc"),
            new Use("java/util/spi/ToolProvider.findFirst", "javac", "jdk.compiler"),
            new Use("java/util/spi/ToolProvider.findFirst", "javadoc", "jdk.javadoc"),
            new Use("java/util/spi/ToolProvider.findFirst", "jar", "jdk.jartool"),
            new Use("java/util/spi/ToolProvider.findFirst", "jdeps", "jdk.jdeps"),
            new Use("java/util/spi/ToolProvider.findFirst", "javap", "jdk.jdeps"),
            new Use("java/util/spi/ToolProvider.findFirst", "jlink", "jdk.jlink"),
            new Use("java/util/spi/ToolProvider.findFirst", "jmod", "jdk.jlink"),
            new Use("javax/management/remote/JMXConnectorFactory", "java.management.rmi"),
            new Use("javax/management/remote/JMXConnectorServerFactory", "java.management.rmi"),
            new Use("javax/security/auth/login/LoginContext", "jdk.security.auth"),
            new Use("java/security/Security.getProvider", "SunPKCS11", "jdk.crypto.cryptoki"),
            new Use("java/lang/Class.forName", "sun.misc.Unsafe", "jdk.unsupported"),
            new Use("java/lang/Class.forName", "sun.reflect.ReflectionFactory", "jdk.unsupported"));

    /** The methods that load a class by its name. */
    private static final Set<String> LOADS_BY_NAME = Set.of("java/lang/Class.forName", "java/lang/ClassLoader.loadClass",
            "java/lang/invoke/MethodHandles$Lookup.findClass");
    /** What makes a class a plugin loader whatever names it loads. */
    private static final Set<String> PLUGIN_LOADERS = Set.of("java/net/URLClassLoader.<init>",
            "java/net/URLClassLoader.newInstance");

    /** What one class file names: the modules its uses need, and whether it loads classes by names it builds. */
    record Findings(Set<String> modules, boolean loadsByBuiltNames) {
    }

    /** What the classes of the jars need: modules, and the classes that load classes by names they build. */
    record Result(Set<String> modules, List<String> loadersByName) {
    }

    /**
     * Scans every class of the jars. A jar or class that cannot be read is taken to need the locale data: when in
     * doubt, the program gets it.
     */
    static Result scan(List<Path> jars) {
        final Set<String> modules = new TreeSet<>();
        final List<String> loaders = new ArrayList<>();
        for (final Path jar : jars) {
            try (ZipFile zip = new ZipFile(jar.toFile())) {
                for (final ZipEntry entry : java.util.Collections.list(zip.entries())) {
                    if (entry.getName().endsWith(".class")) {
                        try (InputStream in = zip.getInputStream(entry)) {
                            final Findings findings = scanClass(in.readAllBytes());
                            modules.addAll(findings.modules());
                            if (findings.loadsByBuiltNames()) {
                                loaders.add(entry.getName() + " in " + jar.getFileName());
                            }
                        }
                    }
                }
            } catch (IOException | RuntimeException unreadable) {
                modules.add(LOCALE_DATA);
            }
        }
        return new Result(modules, loaders);
    }

    /** What a class file names; a class file that cannot be parsed needs the locale data. */
    static Findings scanClass(byte[] classFile) {
        try {
            return new ClassFileReader(classFile).findings();
        } catch (IOException | RuntimeException malformed) {
            return new Findings(Set.of(LOCALE_DATA), false);
        }
    }

    /** One class file's constant pool and code, read as far as the scan needs. */
    private static final class ClassFileReader {
        private static final Pattern DESCRIBED_CLASS = Pattern.compile("L([^;]+);");
        private final DataInputStream in;
        private Object[] pool;
        private int[] tags;
        private final Set<String> classes = new HashSet<>();
        private final Set<String> members = new HashSet<>();
        private final Set<String> strings = new HashSet<>();
        /** Constant pool index of each method reference, as "owner.name". */
        private final Map<Integer, String> methodRefs = new HashMap<>();
        /** The method references whose only argument is a String (Class.forName(String), say). */
        private final Set<Integer> nameOnlyMethods = new HashSet<>();
        private boolean loadsByBuiltNames;

        ClassFileReader(byte[] bytes) {
            in = new DataInputStream(new ByteArrayInputStream(bytes));
        }

        Findings findings() throws IOException {
            if (in.readInt() != 0xCAFEBABE) {
                throw new IOException("not a class file");
            }
            in.readUnsignedShort();
            in.readUnsignedShort();
            readPool();
            in.readUnsignedShort();  // access flags
            in.readUnsignedShort();  // this class
            in.readUnsignedShort();  // super class
            in.skipNBytes(2L * in.readUnsignedShort());
            readMembers(false);
            readMembers(true);
            final Set<String> modules = new TreeSet<>();
            for (final Use use : USES) {
                if (names(use.named()) && (use.literal() == null || strings.contains(use.literal()))) {
                    modules.add(use.module());
                }
            }
            final boolean pluginLoader = members.stream().anyMatch(PLUGIN_LOADERS::contains);
            return new Findings(modules, loadsByBuiltNames || pluginLoader);
        }

        private boolean names(String named) {
            if (named.endsWith("/")) {
                return classes.stream().anyMatch(name -> name.startsWith(named));
            }
            if (named.contains(".")) {
                return members.contains(named);
            }
            return classes.contains(named) || classes.stream().anyMatch(name -> name.startsWith(named + "$"));
        }

        private void readPool() throws IOException {
            final int count = in.readUnsignedShort();
            pool = new Object[count];
            tags = new int[count];
            final int[][] references = new int[count][];
            for (int i = 1; i < count; ++i) {
                final int tag = in.readUnsignedByte();
                tags[i] = tag;
                switch (tag) {
                    case 1 -> pool[i] = in.readUTF();
                    case 3, 4 -> in.skipNBytes(4);
                    case 5, 6 -> {
                        in.skipNBytes(8);
                        ++i;  // takes two entries
                    }
                    case 7, 8, 16, 19, 20 -> references[i] = new int[] {in.readUnsignedShort()};
                    case 9, 10, 11, 12, 17, 18 -> references[i] = new int[] {in.readUnsignedShort(), in.readUnsignedShort()};
                    case 15 -> {
                        in.readUnsignedByte();
                        references[i] = new int[] {in.readUnsignedShort()};
                    }
                    default -> throw new IOException("constant pool tag " + tag);
                }
            }
            for (int i = 1; i < count; ++i) {
                switch (tags[i]) {
                    case 7 -> addClass(utf8(references[i][0]));
                    case 8 -> strings.add(utf8(references[i][0]));
                    case 12, 16 -> addDescribed(utf8(references[i][references[i].length - 1]));
                    case 9, 10, 11 -> {
                        final int[] nameAndType = references[references[i][1]];
                        final String member = utf8(references[references[i][0]][0]) + "." + utf8(nameAndType[0]);
                        members.add(member);
                        if (tags[i] != 9) {
                            methodRefs.put(i, member);
                            if (utf8(nameAndType[1]).startsWith("(Ljava/lang/String;)")) {
                                nameOnlyMethods.add(i);
                            }
                        }
                    }
                    default -> {
                    }
                }
            }
        }

        private String utf8(int index) throws IOException {
            if (!(pool[index] instanceof String text)) {
                throw new IOException("constant pool entry " + index + " is not text");
            }
            return text;
        }

        /** A class entry: a name, or an array's descriptor. */
        private void addClass(String name) {
            if (name.startsWith("[")) {
                addDescribed(name);
            } else {
                classes.add(name);
            }
        }

        private void addDescribed(String descriptor) {
            final Matcher matcher = DESCRIBED_CLASS.matcher(descriptor);
            while (matcher.find()) {
                classes.add(matcher.group(1));
            }
        }

        private void readMembers(boolean methods) throws IOException {
            final int count = in.readUnsignedShort();
            for (int i = 0; i < count; ++i) {
                in.readUnsignedShort();
                in.readUnsignedShort();
                addDescribed(utf8(in.readUnsignedShort()));
                final int attributes = in.readUnsignedShort();
                for (int a = 0; a < attributes; ++a) {
                    final String name = utf8(in.readUnsignedShort());
                    final int length = in.readInt();
                    final byte[] attribute = in.readNBytes(length);
                    if (methods && name.equals("Code")) {
                        readCode(attribute);
                    }
                }
            }
        }

        /**
         * Whether the code loads a class by a name it builds: a call of LOADS_BY_NAME whose name is not a string
         * constant, pushed by the instruction before it (or, before the other arguments of forName(String, boolean,
         * ClassLoader), among the four before it).
         */
        private void readCode(byte[] attribute) throws IOException {
            final DataInputStream code = new DataInputStream(new ByteArrayInputStream(attribute));
            code.skipNBytes(4);
            final int length = code.readInt();
            final byte[] bytes = code.readNBytes(length);
            final int[] recentConstants = new int[4];  // the string constants the last instructions pushed, or 0
            int pc = 0;
            while (pc < bytes.length) {
                final int opcode = bytes[pc] & 0xFF;
                final int operand = pc + 2 < bytes.length ? ((bytes[pc + 1] & 0xFF) << 8) | (bytes[pc + 2] & 0xFF) : 0;
                int pushed = 0;
                if (opcode == 0x12 && pc + 1 < bytes.length) {
                    pushed = bytes[pc + 1] & 0xFF;
                } else if (opcode == 0x13) {
                    pushed = operand;
                }
                if ((opcode == 0xB6 || opcode == 0xB8 || opcode == 0xB9) && LOADS_BY_NAME.contains(methodRefs.get(operand))) {
                    final int window = nameOnlyMethods.contains(operand) ? 1 : recentConstants.length;
                    final boolean named = java.util.Arrays.stream(recentConstants, 0, window)
                            .anyMatch(index -> index > 0 && index < tags.length && tags[index] == 8);
                    loadsByBuiltNames |= !named;
                }
                System.arraycopy(recentConstants, 0, recentConstants, 1, recentConstants.length - 1);
                recentConstants[0] = pushed;
                pc += instructionLength(bytes, pc);
            }
        }

        private static int instructionLength(byte[] code, int pc) throws IOException {
            final int opcode = code[pc] & 0xFF;
            if (opcode == 0xAA || opcode == 0xAB) {  // tableswitch, lookupswitch: aligned to 4 bytes
                final int start = (pc + 4) & ~3;
                if (start + 12 > code.length) {
                    throw new IOException("truncated switch");
                }
                final long length = opcode == 0xAA
                        ? start - pc + 12 + 4L * ((long) readInt(code, start + 8) - readInt(code, start + 4) + 1)
                        : start - pc + 8 + 8L * readInt(code, start + 4);
                if (length <= 0 || pc + length > code.length) {
                    throw new IOException("malformed switch");
                }
                return (int) length;
            }
            if (opcode == 0xC4) {  // wide
                return pc + 1 < code.length && (code[pc + 1] & 0xFF) == 0x84 ? 6 : 4;
            }
            final int length = LENGTHS.charAt(opcode) - '0';
            if (length == 0) {
                throw new IOException("opcode " + opcode);
            }
            return length;
        }

        private static int readInt(byte[] bytes, int at) {
            return ((bytes[at] & 0xFF) << 24) | ((bytes[at + 1] & 0xFF) << 16) | ((bytes[at + 2] & 0xFF) << 8)
                    | (bytes[at + 3] & 0xFF);
        }

        /** Each opcode's length in bytes (0: variable, or not an opcode), from the JVM's instruction set. */
        private static final String LENGTHS = ""
                + "1111111111111111" + "2323322222111111"  // 0x00: nop ...; 0x10: bipush, sipush, ldc*, loads
                + "1111111111111111" + "1111112222211111"  // 0x20; 0x30: ... istore (0x36-0x3a)
                + "1111111111111111" + "1111111111111111"  // 0x40; 0x50
                + "1111111111111111" + "1111111111111111"  // 0x60; 0x70
                + "1111311111111111" + "1111111113333333"  // 0x80: iinc at 0x84; 0x90: if* from 0x99
                + "3333333332001111" + "1133333335532311"  // 0xa0: ret 0xa9, switches; 0xb0: get/put/invoke*, new
                + "3311043355000000" + "0000000000000000"  // 0xc0: checkcast ... jsr_w
                + "0000000000000000" + "0000000000000000"
                + "0000000000000000" + "0000000000000000";
    }
}
