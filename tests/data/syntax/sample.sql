-- Schema and reporting queries for the shop.
/* Multi-line header comment
   describing the migration. */
CREATE TABLE IF NOT EXISTS customers (
    id          BIGSERIAL PRIMARY KEY,
    email       VARCHAR(255) NOT NULL UNIQUE,
    name        TEXT,
    created_at  TIMESTAMPTZ DEFAULT now(),
    balance     NUMERIC(12, 2) DEFAULT 0.00,
    active      BOOLEAN DEFAULT TRUE
);

CREATE TABLE orders (
    id           uuid PRIMARY KEY,
    customer_id  bigint REFERENCES customers (id) ON DELETE CASCADE,
    total        decimal(10,2) NOT NULL CHECK (total >= 0),
    status       varchar(16) DEFAULT 'new',
    note         text
);

CREATE INDEX orders_customer_idx ON orders (customer_id);

INSERT INTO customers (email, name) VALUES
    ('ada@example.com', 'Ada'),
    ('it''s@example.com', 'O''Brien'),
    ('multi@example.com', 'A name that
continues on the next line');

UPDATE orders SET status = 'paid' WHERE total > 100 AND status IS NOT NULL;

DELETE FROM orders WHERE created_at < NOW() - INTERVAL '30 days';

SELECT c.name,
       COUNT(o.id)            AS order_count,
       SUM(o.total)           AS revenue,
       AVG(o.total)::numeric  AS average,
       COALESCE(MAX(o.total), 0) AS largest
FROM customers AS c
LEFT JOIN orders o ON o.customer_id = c.id
WHERE c.active = true
  AND c.email LIKE '%@example.com'
GROUP BY c.name
HAVING COUNT(o.id) > 2
ORDER BY revenue DESC NULLS LAST
LIMIT 10 OFFSET 20;

WITH RECURSIVE ranked AS (
    SELECT id, total,
           ROW_NUMBER() OVER (PARTITION BY customer_id ORDER BY total DESC) AS rn,
           rank() over (order by total) AS position
    FROM orders
)
SELECT * FROM ranked WHERE rn <= 3;

SELECT "Quoted Identifier", `backticked`, [bracketed]
FROM "weird ""table"""
WHERE x BETWEEN 1 AND 10 OR y IN (1.5, 2e3, 0x1F);

BEGIN TRANSACTION;
MERGE INTO orders AS t USING staging AS s ON t.id = s.id
WHEN MATCHED THEN UPDATE SET total = s.total
WHEN NOT MATCHED THEN INSERT (id, total) VALUES (s.id, s.total);
COMMIT;

CREATE OR REPLACE FUNCTION order_total(p_id uuid) RETURNS numeric
LANGUAGE sql AS $$
    SELECT total FROM orders WHERE id = p_id;
$$;

EXPLAIN ANALYZE SELECT CAST(total AS int), upper(status), length(note) FROM orders;
DROP TABLE IF EXISTS temp_orders;
