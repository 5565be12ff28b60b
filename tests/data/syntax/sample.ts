// Type-level helpers and a small repository layer.
import type { Request, Response } from "express";

export interface Entity {
  readonly id: string;
  createdAt: Date;
  tags?: string[];
}

export type Maybe<T> = T | null | undefined;
type Keys = keyof Entity;
type Unwrap<T> = T extends Promise<infer U> ? U : T;

enum Status {
  Active = 1,
  Archived = 2,
  Deleted = 0x10,
}

declare module "cache" {
  export function get(key: string): unknown;
}

namespace Validation {
  export const pattern = /^[a-z]+$/;
}

abstract class Repository<T extends Entity> implements Iterable<T> {
  protected items: Map<string, T> = new Map();
  private static count: number = 0;
  public abstract validate(item: T): item is T;

  constructor(private readonly name: string) {
    Repository.count++;
  }

  add(item: T): this {
    if (!this.validate(item)) {
      throw new Error(`invalid ${this.name}: ${item.id}`);
    }
    this.items.set(item.id, item);
    return this;
  }

  find(predicate: (item: T) => boolean): Maybe<T> {
    for (const item of this.items.values()) {
      if (predicate(item)) return item;
    }
    return undefined;
  }

  [Symbol.iterator](): Iterator<T> {
    return this.items.values();
  }
}

class UserRepository extends Repository<User> {
  override validate(item: User): item is User {
    return typeof item.email === "string" && item.email.includes("@");
  }
}

interface User extends Entity {
  email: string;
  age: number;
  admin: boolean;
  meta: Record<string, any>;
  callback: () => void;
  big: bigint;
  sym: symbol;
  never?: never;
  obj: object;
}

function assertDefined<T>(value: T): asserts value is NonNullable<T> {
  if (value === undefined || value === null) {
    throw new TypeError("value is missing");
  }
}

const config = {
  port: 8080,
  host: 'localhost',
  retries: 3,
} satisfies Record<string, string | number>;

export async function handler(req: Request, res: Response): Promise<void> {
  const repo = new UserRepository("users");
  const user = repo.find((u) => u.email === req.query.email);
  assertDefined(user);
  res.json({ id: user.id, status: Status.Active });
}

/* A block comment
 * across lines with a `template` inside
 */
const message = `Hello ${config.host}:${config.port}
multi-line template continues
done`;

let unique: unique symbol;
export default UserRepository;
