-- Aylık rapor
WITH recent AS (
  SELECT id, total
  FROM orders
  WHERE created_at >= '2024-01-01'
    AND status <> 'iptal'
)
SELECT c.name, COUNT(*) AS n, SUM(o.total) total_sum, COALESCE(MAX(o.total), 0)
FROM customers c
INNER JOIN recent o ON o.customer_id = c.id
  AND o.total > 0
LEFT JOIN regions r ON r.id = c.region_id
WHERE c.active = TRUE
  AND (c.city = 'İzmir'
  OR c.city = 'Ankara')
  AND c.score BETWEEN 1 AND 10
GROUP BY c.name
HAVING COUNT(*) > 2
ORDER BY total_sum DESC
LIMIT 10
OFFSET 5;

/* ikinci
   sorgu */
UPDATE [dbo].[Hesap Tablosu]
SET bakiye = bakiye * 1.5, `not` = "x""y"
WHERE id IN (
  SELECT id
  FROM t
  WHERE a::INT > 3
    AND j ->> 'k' = 'v'
);

INSERT INTO log (msg, at)
VALUES ('it''s', now());# kabuk yorumu

DELETE FROM t
WHERE x NOT IN (1, 2) -- son
