import Foundation

/// A cache that evicts the least recently used entries.
/* Block comments /* nest */ in this language,
   and may continue /* across
   several */ lines. */
public final class LRUCache<Key: Hashable, Value> {
    private var storage: [Key: Value] = [:]
    private var order: [Key] = []
    public let capacity: Int

    public init(capacity: Int = 128) {
        precondition(capacity > 0, "capacity must be positive")
        self.capacity = capacity
    }

    public subscript(key: Key) -> Value? {
        get { lookup(key) }
        set {
            if let newValue { insert(newValue, for: key) } else { remove(key) }
        }
    }

    @discardableResult
    public func remove(_ key: Key) -> Value? {
        guard let index = order.firstIndex(of: key) else { return nil }
        order.remove(at: index)
        return storage.removeValue(forKey: key)
    }

    private func lookup(_ key: Key) -> Value? {
        guard let value = storage[key] else { return nil }
        touch(key)
        return value
    }

    private func insert(_ value: Value, for key: Key) {
        storage[key] = value
        touch(key)
        while order.count > capacity {
            let evicted = order.removeFirst()
            storage[evicted] = nil
        }
    }

    private func touch(_ key: Key) {
        order.removeAll { $0 == key }
        order.append(key)
    }
}

enum LoadError: Error, CustomStringConvertible {
    case missing(path: String)
    case corrupt(line: Int)

    var description: String {
        switch self {
        case .missing(let path): return "missing file \(path)"
        case .corrupt(let line): return "corrupt at line \(line)"
        }
    }
}

protocol Loader {
    associatedtype Item
    func load() async throws -> [Item]
}

struct FileLoader: Loader {
    let url: URL

    func load() async throws -> [String] {
        let data = try Data(contentsOf: url)
        guard let text = String(data: data, encoding: .utf8) else {
            throw LoadError.corrupt(line: 0)
        }
        return text.split(separator: "\n").map(String.init)
    }
}

actor Counter {
    private(set) var value = 0
    func increment(by step: Int = 1) -> Int {
        value += step
        return value
    }
}

let banner = """
    Multi-line string with "quotes" and \(1 + 2) interpolation
    continues here
    """
let raw = #"A raw string with \n and "quotes" inside"#
let rawMulti = #"""
    Raw multi-line: \(not interpolated) "quoted"
    """#
let numbers = [0, 42, -7, 3.14, 1e10, 0x1F, 0b1010, 1_000_000]
let flags: (Bool, Bool, Any?) = (true, false, nil)

#if DEBUG
let level = "debug"
#else
let level = "release"
#endif

@MainActor
func render(items: some Collection<String>) -> String {
    var result = ""
    for (index, item) in items.enumerated() where !item.isEmpty {
        result += "\(index): \(item)\n"
    }
    defer { print("rendered \(items.count)") }
    return result
}

extension Array where Element == Int {
    mutating func normalize() {
        let total = reduce(0, +)
        guard total != 0 else { return }
        self = map { $0 * 100 / total }
    }
}

@available(macOS 13, *)
func measure<T>(_ body: () throws -> T) rethrows -> T {
    let start = Date()
    defer { _ = Date().timeIntervalSince(start) }
    return try body()
}
