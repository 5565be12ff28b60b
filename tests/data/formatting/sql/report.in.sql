-- Aylık rapor
with recent as (select id, total from orders where created_at >= '2024-01-01' and status <> 'iptal')
select c.name, count(*) as n, sum(o.total) total_sum, coalesce(max(o.total), 0)
from customers c inner join recent o on o.customer_id = c.id and o.total > 0 left join regions r on r.id = c.region_id
where c.active = true and (c.city = 'İzmir' or c.city = 'Ankara') and c.score between 1 and 10
group by c.name having count(*) > 2 order by total_sum desc limit 10 offset 5;
/* ikinci
   sorgu */ update [dbo].[Hesap Tablosu] set bakiye = bakiye * 1.5, `not` = "x""y" where id in (select id from t where a::int > 3 and j->>'k' = 'v');
insert into log (msg, at) values ('it''s', now()); # kabuk yorumu
delete from t where x not in (1, 2) -- son
