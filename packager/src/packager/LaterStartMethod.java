package packager;

import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.util.ArrayList;
import java.util.List;
import java.util.jar.JarEntry;
import java.util.jar.JarFile;

/**
 * --single-instance CLASS.METHOD: the method a later start's command line goes to, which the main jar must
 * hold as {@code public static void METHOD(String[] arguments, String directory)}. The class file is read,
 * not loaded, so that neither its libraries nor its class file version matter.
 */
final class LaterStartMethod {
    static final String DESCRIPTOR = "([Ljava/lang/String;Ljava/lang/String;)V";
    private static final int PUBLIC = 0x0001;
    private static final int STATIC = 0x0008;

    /** A method of a class file: its access flags, name and descriptor. */
    record Method(int access, String name, String descriptor) {
    }

    private LaterStartMethod() {
    }

    /** Refuses a --single-instance value that names no method, or a method the main jar does not have. */
    static void check(String value, JarFile mainJar, String mainJarName) throws Stop {
        final int dot = value.lastIndexOf('.');
        if (dot <= 0 || dot == value.length() - 1) {
            throw Stop.refused("--single-instance " + value + " names no method: give CLASS.METHOD, such as "
                    + "com.example.App.openFromAnotherStart");
        }
        final String className = value.substring(0, dot);
        final String name = value.substring(dot + 1);
        final String wanted = "public static void " + name + "(String[] arguments, String directory)";
        final JarEntry entry = mainJar.getJarEntry(className.replace('.', '/') + ".class");
        if (entry == null) {
            throw Stop.refused("--single-instance names the class " + className + ", which is not in " + mainJarName
                    + "; give a class of the main jar that has " + wanted);
        }
        final List<Method> methods;
        try (InputStream in = mainJar.getInputStream(entry)) {
            methods = methods(in.readAllBytes());
        } catch (IOException unreadable) {
            throw Stop.refused("--single-instance: the class " + className + " in " + mainJarName
                    + " cannot be read: " + Text.describe(unreadable));
        }
        final List<Method> named = methods.stream().filter(m -> m.name().equals(name)).toList();
        if (named.isEmpty()) {
            throw Stop.refused("--single-instance: the class " + className + " in " + mainJarName + " has no method "
                    + name + "; add " + wanted);
        }
        if (named.stream().noneMatch(m -> m.descriptor().equals(DESCRIPTOR)
                && (m.access() & (PUBLIC | STATIC)) == (PUBLIC | STATIC))) {
            throw Stop.refused("--single-instance: " + className + "." + name + " in " + mainJarName
                    + " is not " + wanted + "; declare it so");
        }
    }

    /** The methods a class file declares. */
    static List<Method> methods(byte[] classFile) throws IOException {
        final DataInputStream in = new DataInputStream(new ByteArrayInputStream(classFile));
        if (in.readInt() != 0xCAFEBABE) throw new IOException("it is not a class file");
        in.skipNBytes(4);  // its version
        final int constants = in.readUnsignedShort();
        final String[] texts = new String[constants];
        for (int i = 1; i < constants; ++i) {
            final int tag = in.readUnsignedByte();
            switch (tag) {
                case 1 -> texts[i] = in.readUTF();  // the same modified UTF-8 with a two-byte length
                case 7, 8, 16, 19, 20 -> in.skipNBytes(2);
                case 15 -> in.skipNBytes(3);
                case 3, 4, 9, 10, 11, 12, 17, 18 -> in.skipNBytes(4);
                case 5, 6 -> {
                    in.skipNBytes(8);
                    ++i;  // takes two entries
                }
                default -> throw new IOException("its constant pool has an entry of unknown kind " + tag);
            }
        }
        in.skipNBytes(6);  // access, this class, superclass
        in.skipNBytes(2L * in.readUnsignedShort());  // interfaces
        members(in, texts);  // fields
        return members(in, texts);
    }

    private static List<Method> members(DataInputStream in, String[] texts) throws IOException {
        final List<Method> members = new ArrayList<>();
        for (int count = in.readUnsignedShort(); count > 0; --count) {
            final int access = in.readUnsignedShort();
            final String name = text(texts, in.readUnsignedShort());
            final String descriptor = text(texts, in.readUnsignedShort());
            for (int attributes = in.readUnsignedShort(); attributes > 0; --attributes) {
                in.skipNBytes(2);
                in.skipNBytes(Integer.toUnsignedLong(in.readInt()));
            }
            members.add(new Method(access, name, descriptor));
        }
        return members;
    }

    private static String text(String[] texts, int index) throws IOException {
        if (index <= 0 || index >= texts.length || texts[index] == null) {
            throw new IOException("a name refers to constant " + index + ", which is no text");
        }
        return texts[index];
    }
}
