package bench;

import java.io.ByteArrayInputStream;
import java.nio.charset.StandardCharsets;
import java.time.Duration;
import java.time.LocalDate;
import java.time.ZoneId;
import java.time.ZonedDateTime;
import java.time.format.DateTimeFormatter;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.ConcurrentHashMap;
import java.util.logging.Logger;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import java.util.stream.IntStream;
import javax.xml.parsers.DocumentBuilderFactory;
import org.w3c.dom.Document;

// A start-up that loads a few thousand classes, as a real program does before
// its first window: collections, streams and lambdas, regular expressions,
// java.time with time zones, an XML parse, a digest, formatting, a thread
// pool and java.util.logging.
public final class Heavy {
    public static void main(String[] args) throws Exception {
        final Map<Boolean, java.util.List<Integer>> evenAndOdd =
                IntStream.rangeClosed(1, 200).boxed().collect(Collectors.partitioningBy(i -> i % 2 == 0));
        final Map<String, Long> words = Pattern.compile("[\\s,.]+")
                .splitAsStream("the quick brown fox, the lazy dog. The end.")
                .map(String::toLowerCase)
                .collect(Collectors.groupingBy(w -> w, TreeMap::new, Collectors.counting()));
        final ConcurrentHashMap<String, Integer> lengths = new ConcurrentHashMap<>();
        words.keySet().parallelStream().forEach(w -> lengths.put(w, w.length()));

        final ZonedDateTime meeting = LocalDate.of(2026, 12, 7).atStartOfDay(ZoneId.of("Europe/Berlin"))
                .plus(Duration.ofHours(9)).withZoneSameInstant(ZoneId.of("America/New_York"));
        final String when = DateTimeFormatter.ofPattern("EEEE d MMMM yyyy HH:mm z").format(meeting);

        final String xml = "<config><entry key=\"a\">1</entry><entry key=\"b\">2</entry></config>";
        final Document document = DocumentBuilderFactory.newInstance().newDocumentBuilder()
                .parse(new ByteArrayInputStream(xml.getBytes(StandardCharsets.UTF_8)));
        final int entries = document.getElementsByTagName("entry").getLength();

        final String digest = java.util.Base64.getEncoder().encodeToString(
                java.security.MessageDigest.getInstance("SHA-256").digest(xml.getBytes(StandardCharsets.UTF_8)));
        final String money = String.format("%,.2f", new java.math.BigDecimal("1234567.891"));
        final java.util.concurrent.ExecutorService pool = java.util.concurrent.Executors.newFixedThreadPool(2);
        final int sum = pool.submit(() -> IntStream.range(0, 100).sum()).get();
        pool.shutdown();

        Logger.getLogger("bench").fine("not shown");
        System.out.println("heavy: " + evenAndOdd.get(true).size() + " even, " + words.size() + " words, "
                + lengths.size() + " lengths, " + entries + " entries, " + when + ", " + digest.length() + ", "
                + money + ", " + sum);
    }
}
