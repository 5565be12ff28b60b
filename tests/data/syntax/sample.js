#!/usr/bin/env node
/**
 * Inventory service: loads stock levels, reconciles them with orders and
 * publishes a report. Multi-line doc comment with `code` and "quotes".
 */
'use strict';

import { readFile } from 'node:fs/promises';
import path from "node:path";
import * as events from './events.js';

const MAX_RETRIES = 3;
const TIMEOUT_MS = 1_500;
const RATIO = .75;
const MASK = 0xFF_FF;
const BIG = 12345678901234567890n;
const EPSILON = 1e-9, HUGE = 6.02E+23;
let $cache = null, _private = undefined;

/* single-line block */ let counter = 0; /* another
   one that spans
   three lines */ counter += 1;

export class Inventory extends events.Emitter {
  static #instances = 0;
  #items = new Map();

  constructor(name, options = {}) {
    super();
    this.name = name;
    this.options = { retries: MAX_RETRIES, ...options };
    Inventory.#instances++;
  }

  get size() {
    return this.#items.size;
  }

  async load(file) {
    const raw = await readFile(path.join(__dirname, file), 'utf8');
    for (const line of raw.split('\n')) {
      if (!line.trim() || line.startsWith('#')) continue;
      const [sku, qty] = line.split(',');
      this.#items.set(sku, Number.parseInt(qty, 10));
    }
    this.emit('loaded', { count: this.size });
    return this;
  }

  *entries() {
    yield* this.#items.entries();
  }

  report(title = "Stock") {
    const rows = [...this.#items].map(([sku, qty]) => `${sku.padEnd(12)} ${qty}`);
    return `# ${title}
Generated: ${new Date().toISOString()}
Items: ${rows.length}

${rows.join('\n')}
`;
  }
}

function reconcile(inventory, orders) {
  const missing = [];
  for (let i = 0; i < orders.length; i++) {
    const order = orders[i];
    switch (order.kind) {
      case 'restock':
        inventory.add(order.sku, order.qty);
        break;
      case "sale":
        if (inventory.count(order.sku) < order.qty) {
          missing.push(order);
        }
        break;
      default:
        throw new TypeError(`unknown order kind: ${order.kind}`);
    }
  }
  return missing.length === 0 ? null : missing;
}

const escapes = "tab\there \"quoted\" back\\slash";
const single = 'it\'s fine';
const regexLike = /ab+c/gi.test("abbc");
const division = counter / 2 / RATIO;

async function retry(task, attempts = MAX_RETRIES) {
  let lastError;
  while (attempts-- > 0) {
    try {
      return await task();
    } catch (error) {
      lastError = error;
      await new Promise((resolve) => setTimeout(resolve, TIMEOUT_MS));
    } finally {
      counter++;
    }
  }
  throw lastError;
}

// Decorators (stage 3) and optional chaining
@sealed
class Report {
  @readonly title = 'r';
  render(data) {
    return data?.items?.length ?? 0;
  }
}

const state = {
  ready: false,
  value: NaN,
  limit: Infinity,
  nothing: null,
  'quoted-key': true,
  nested: { deeper: [1, 2.5, -3, .5e10] },
};

const sql = `
  SELECT *
  FROM items
  WHERE qty < ${MAX_RETRIES}
`;

typeof state === 'object' && delete state.nothing;
void 0;
debugger;
label: for (const k in state) { if (k) break label; }

export default { Inventory, reconcile, retry };
// end of file
