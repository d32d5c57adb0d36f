package com.example.demo;

// The demo application: shows the setting it was given in config.json and
// leaves a worker thread running after main returns, which the launcher waits for.
public final class Main {
    public static void main(String[] args) {
        System.out.println("Demo started with " + args.length + " arguments");
        System.out.println("demo.greeting = " + System.getProperty("demo.greeting"));
        System.out.println("Java " + System.getProperty("java.version") + " from " + System.getProperty("java.home"));

        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(500);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
            System.out.println("Worker thread finished after main returned");
        }, "demo-worker");
        worker.start();
        System.out.println("main returns");
    }
}
